#pragma once
// File-system helpers: file versions, the host product version check and
// directory listing.
#include "QuorvalCommon/CStdStr.h"

#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>

struct LSFileVersion
{
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
    bool valid = false;
};

namespace LSFileSystem {

LSFileVersion GetFileVersion(const std::wstring& path);
// The version resource of a module already loaded (as an image or as data).
LSFileVersion GetModuleVersion(HMODULE module);
LSFileVersion GetHostDllVersion();
// True when this component and the host product's DLL in the system
// directory agree in major, minor and build.
bool CheckHostVersion(HMODULE ownModule);
// The same comparison with the host product's DLL at the given path.
bool CheckHostVersionAgainst(HMODULE ownModule, const std::wstring& hostDllPath);
// The host product's DLL in the given system directory.
CStdStr HostDllPathIn(const std::wstring& systemDirectory);

// Callback: (is directory, full path, find record); return false to stop.
using DirectoryEntryCallback = std::function<bool(bool isDirectory, const std::wstring& fullPath,
                                                  const WIN32_FIND_DATAW& entry)>;
HRESULT ListDirectory(const std::wstring& folder, const std::wstring& pattern,
                      const DirectoryEntryCallback& callback);

} // namespace LSFileSystem
