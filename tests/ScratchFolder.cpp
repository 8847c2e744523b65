#include "ScratchFolder.h"

#include "QuorvalCommon/UniqueHandles.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>

ScratchFolder::ScratchFolder(const std::wstring& name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // A folder of its own even for the same name in the same process: a
    // repeated case may find the last one's folder still held by a module it
    // loaded, which stays until the process ends.
    static std::atomic<unsigned> made{0};
    m_path = std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++made);
    RemoveTree(m_path);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry = {};
    UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (find)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\" + name);
            else
                DeleteFileW((path + L"\\" + name).c_str());
        } while (FindNextFileW(find.Get(), &entry));
    }
    find.Reset();
    RemoveDirectoryW(path.c_str());
}

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFileAged(const std::wstring& path, const std::string& text, long long minutesAgo)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid()) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value;
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart -= static_cast<ULONGLONG>(minutesAgo) * 600000000ULL;
    FILETIME then = {value.LowPart, value.HighPart};
    ASSERT_TRUE(SetFileTime(file.Get(), &then, &then, &then));
}

std::string ReadWholeFile(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::string();
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

std::vector<std::wstring> FileNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry = {};
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find)
        return names;
    do
    {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(entry.cFileName);
    } while (FindNextFileW(find.Get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}
