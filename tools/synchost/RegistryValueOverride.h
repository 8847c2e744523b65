#pragma once
// A registry text value changed for the length of a run: the previous value
// (or its absence) comes back when the override ends.
#include "UniqueHandles.h"

#include <windows.h>
#include <string>
#include <vector>

class RegistryValueOverride
{
public:
    // Throws hresult_exception when the key cannot be opened or created.
    RegistryValueOverride(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
    RegistryValueOverride(HKEY root, const std::wstring& path, const std::wstring& name, DWORD number);
    ~RegistryValueOverride();
    RegistryValueOverride(const RegistryValueOverride&) = delete;
    RegistryValueOverride& operator=(const RegistryValueOverride&) = delete;

private:
    RegistryValueOverride(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                          const BYTE* data, DWORD bytes);

    UniqueHKey m_key;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_data;
};
