// Directory listing: the matching entries of one folder, handed to a callback.
#include "QuorvalCommon/LSFileSystem.h"

#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/UniqueHandles.h"

namespace {

bool IsDotEntry(const WIN32_FIND_DATAW& entry)
{
    const std::wstring name = entry.cFileName;
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (name == L"." || name == L"..");
}

} // namespace

HRESULT LSFileSystem::ListDirectory(const std::wstring& folder, const std::wstring& pattern,
                                    const DirectoryEntryCallback& callback)
{
    const std::wstring searched = folder + L"\\" + pattern;
    WIN32_FIND_DATAW entry = {};
    UniqueFindHandle find(FindFirstFileW(searched.c_str(), &entry));
    if (!find)
    {
        const DWORD error = GetLastError();
        LS_ERROR_LOG << "Error getting directory contents :" << ToLogText(searched) << ":" << LogHex(error);
        return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
    }
    do
    {
        if (IsDotEntry(entry))
            continue;
        const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!callback(isDirectory, folder + L"\\" + entry.cFileName, entry))
            break;
    } while (FindNextFileW(find.Get(), &entry));
    return S_OK;
}
