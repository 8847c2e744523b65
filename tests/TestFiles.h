#pragma once
// Where the test program finds the files the build made for it, and a
// scratch folder that is removed with everything in it.
#include <string>

// The folder of the test program (the build's bin folder).
std::wstring TestProgramFolder();

class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// Removes a folder tree; missing is fine.
void RemoveFolderTree(const std::wstring& folder);
