// Placeholder: versions are not read yet.
#include "LSFileSystem.h"

namespace LSFileSystem {

LSFileVersion GetFileVersion(const std::wstring&) { return LSFileVersion(); }
LSFileVersion GetHostDllVersion() { return LSFileVersion(); }
bool CheckHostVersion(HMODULE) { return true; }

} // namespace LSFileSystem
