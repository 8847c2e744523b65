#pragma once
// Pieces of the resource libraries shared between their source files.
#include <string>

namespace LSResourceLibraries::detail {

void ResetBrandTokenTable();
void ResetUserAgent();
// True when the format has no conversion but "%%" and at most one string
// conversion ("%s", "%ls" or "%ws"), so formatting it with one wide string is
// safe whatever an external library supplied.
bool IsSafeUserAgentFormat(const std::wstring& format);

} // namespace LSResourceLibraries::detail
