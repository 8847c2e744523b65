#pragma once
// A folder of the test's own under the temporary folder, removed with
// everything in it at scope end; and small file helpers.
#include <windows.h>
#include <string>
#include <vector>

class ScratchFolder
{
public:
    explicit ScratchFolder(const std::wstring& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& child) const { return m_path + L"\\" + child; }

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Writes the text and sets the file's last-write time that many minutes back.
void WriteFileAged(const std::wstring& path, const std::string& text, long long minutesAgo);
std::string ReadWholeFile(const std::wstring& path);
// Names of the plain files in a folder, sorted.
std::vector<std::wstring> FileNames(const std::wstring& folder);
