#pragma once
// Changes one registry value for the length of a test and puts back what was
// there before (or removes it when there was nothing).
#include <windows.h>
#include <string>
#include <vector>

class ScopedRegistryValue
{
public:
    ScopedRegistryValue(HKEY root, std::wstring keyPath, std::wstring name);
    ~ScopedRegistryValue();
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

    // A value of the user's settings key (HKCU, product settings path).
    static std::wstring SettingsKeyPath();

    void SetString(const std::wstring& value);
    void SetDword(DWORD value);
    void Delete();
    // The current text, empty when absent or not text.
    std::wstring ReadString() const;

private:
    void Write(DWORD type, const void* data, DWORD size);

    HKEY m_root;
    std::wstring m_keyPath;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_data;
};

// A setting of the user's settings key, restored when the test ends.
class ScopedUserSetting : public ScopedRegistryValue
{
public:
    explicit ScopedUserSetting(const std::wstring& name)
        : ScopedRegistryValue(HKEY_CURRENT_USER, SettingsKeyPath(), name)
    {
    }
};
