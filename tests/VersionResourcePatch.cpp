#include "VersionResourcePatch.h"

#include "QuorvalCommon/UniqueHandles.h"

#include <windows.h>
#include <cstring>
#include <vector>

namespace {

struct VersionResource
{
    WORD language = 0;
    std::vector<BYTE> data;
};

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

bool ReadVersionResource(const std::wstring& path, VersionResource& resource)
{
    UniqueHModule image(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!image)
        return false;
    EnumResourceLanguagesW(image.Get(), RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), FirstLanguage,
                           reinterpret_cast<LONG_PTR>(&resource.language));
    HRSRC found = FindResourceExW(image.Get(), RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), resource.language);
    HGLOBAL loaded = found ? LoadResource(image.Get(), found) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return false;
    resource.data.assign(bytes, bytes + SizeofResource(image.Get(), found));
    return true;
}

VS_FIXEDFILEINFO* FixedInformation(std::vector<BYTE>& data)
{
    for (size_t offset = 0; offset + sizeof(VS_FIXEDFILEINFO) <= data.size(); offset += sizeof(DWORD))
    {
        DWORD signature = 0;
        std::memcpy(&signature, &data[offset], sizeof(signature));
        if (signature == 0xFEEF04BD)
            return reinterpret_cast<VS_FIXEDFILEINFO*>(&data[offset]);
    }
    return nullptr;
}

} // namespace

bool SetFileVersionBuild(const std::wstring& path, uint16_t build)
{
    VersionResource resource;
    if (!ReadVersionResource(path, resource))
        return false;
    VS_FIXEDFILEINFO* fixed = FixedInformation(resource.data);
    if (!fixed)
        return false;
    fixed->dwFileVersionLS = MAKELONG(LOWORD(fixed->dwFileVersionLS), build);
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    if (!update)
        return false;
    const bool replaced = UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), resource.language,
                                          resource.data.data(), static_cast<DWORD>(resource.data.size()));
    return EndUpdateResourceW(update, replaced ? FALSE : TRUE) && replaced;
}

bool ReplaceResource(const std::wstring& path, const wchar_t* type, const wchar_t* name, const std::string& bytes)
{
    WORD language = 0;
    {
        UniqueHModule image(
            LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        if (!image || !FindResourceW(image.Get(), name, type))
            return false;
        EnumResourceLanguagesW(image.Get(), type, name, FirstLanguage, reinterpret_cast<LONG_PTR>(&language));
    }
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    if (!update)
        return false;
    // Wine's resource update cannot delete a resource, but it can replace one.
    const bool replaced = UpdateResourceW(update, type, name, language, const_cast<char*>(bytes.data()),
                                          static_cast<DWORD>(bytes.size()));
    return EndUpdateResourceW(update, replaced ? FALSE : TRUE) && replaced;
}
