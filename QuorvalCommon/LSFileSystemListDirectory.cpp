// Placeholder: lists nothing until the directory listing lands.
#include "LSFileSystem.h"

HRESULT LSFileSystem::ListDirectory(const std::wstring&, const std::wstring&, const DirectoryEntryCallback&)
{
    return S_OK;
}
