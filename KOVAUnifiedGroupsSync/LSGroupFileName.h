#pragma once
// The name the host gives a group's file: the display name made a name
// Windows accepts for a file, since any user of a tenant can usually create
// and name a group. The display name itself goes to the host unchanged.
#include <string>

namespace LSGroupFileName {

// Characters Windows forbids in a name (<>:"/\|?* and U+0000 to U+001F)
// become "_"; trailing dots and spaces go; a reserved device name (CON, PRN,
// AUX, NUL, COM0-COM9, LPT0-LPT9, also with an extension) gets "_" after
// it; a name of dots and spaces alone ("." and ".." among them) becomes "_";
// the name is cut so that with ".msg" it fits in 255 UTF-16 units, never
// between the two halves of a surrogate pair. An empty name stays empty.
std::wstring For(const std::wstring& displayName);

} // namespace LSGroupFileName
