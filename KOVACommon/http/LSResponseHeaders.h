#pragma once
// An answer's header lines as name and value pairs, read from header text
// (the platform's, or a recording's).
#include <string>
#include <utility>
#include <vector>

namespace LSResponseHeaders {

using Headers = std::vector<std::pair<std::wstring, std::wstring>>;

// Lines up to the first empty one; name before the first ":", value after it
// without one leading space.
Headers Parse(const std::wstring& text);
// The value of the first header of that name, in any case; null when there is none.
const std::wstring* Find(const Headers& headers, const std::wstring& name);

} // namespace LSResponseHeaders
