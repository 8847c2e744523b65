#pragma once
// The few registry operations self-registration needs. Failures throw
// hresult_exception with the Windows error as an HRESULT.
#include "QuorvalCommon/UniqueHandles.h"

#include <windows.h>
#include <string>

class LSRegistryKey
{
public:
    // Opens or creates parent\path for writing.
    static LSRegistryKey Create(HKEY parent, const std::wstring& path);
    // Opens parent\path; an absent key gives an empty holder.
    static LSRegistryKey OpenIfPresent(HKEY parent, const std::wstring& path);

    explicit operator bool() const { return m_key.IsValid(); }
    HKEY Get() const { return m_key.Get(); }

    void SetDefault(const std::wstring& text) const { SetText(L"", text); }
    void SetText(const std::wstring& name, const std::wstring& text) const;
    // Creates parent\name\... and sets its default text.
    LSRegistryKey CreateChild(const std::wstring& name, const std::wstring& defaultText) const;

    // Removes name and everything under it; an absent key is fine.
    void DeleteTree(const std::wstring& name) const;
    // Removes name with its values unless subkeys remain; an absent key is fine.
    void DeleteIfLeaf(const std::wstring& name) const;

private:
    explicit LSRegistryKey(HKEY key) : m_key(key) {}
    UniqueHKey m_key;
};
