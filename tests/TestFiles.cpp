#include "TestFiles.h"

#include "LSSetting.h"
#include "UniqueHandles.h"

#include <windows.h>
#include <atomic>
#include <vector>

std::wstring TestProgramFolder()
{
    std::wstring path = LSSetting::GetModuleFileNameSafe(nullptr);
    return path.substr(0, path.find_last_of(L'\\'));
}

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> counter{0};
    std::vector<wchar_t> temp(MAX_PATH + 1, L'\0');
    GetTempPathW(MAX_PATH, temp.data());
    m_path = std::wstring(temp.data()) + L"KOVA-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveFolderTree(m_path);
}

void RemoveFolderTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (find)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find.Get(), &entry));
    }
    find.Reset();
    RemoveDirectoryW(folder.c_str());
}
