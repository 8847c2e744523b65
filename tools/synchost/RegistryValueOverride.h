#pragma once
// A user setting (under HKEY_CURRENT_USER) changed for the length of a run:
// the previous value (or its absence) comes back when the override ends, and
// is noted in the override journal first, so that the next run puts it back
// should this process be killed meanwhile.
#include "QuorvalCommon/UniqueHandles.h"

#include <windows.h>
#include <string>
#include <vector>

class RegistryValueOverride
{
public:
    // Throws hresult_exception when the key cannot be opened or created.
    RegistryValueOverride(const std::wstring& path, const std::wstring& name, const std::wstring& text);
    RegistryValueOverride(const std::wstring& path, const std::wstring& name, DWORD number);
    ~RegistryValueOverride();
    RegistryValueOverride(const RegistryValueOverride&) = delete;
    RegistryValueOverride& operator=(const RegistryValueOverride&) = delete;

private:
    RegistryValueOverride(const std::wstring& path, const std::wstring& name, DWORD type, const BYTE* data,
                          DWORD bytes);

    UniqueHKey m_key;
    std::wstring m_path;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_data;
};
