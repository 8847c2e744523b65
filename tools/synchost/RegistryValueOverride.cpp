#include "RegistryValueOverride.h"

#include "OverrideJournal.h"
#include "QuorvalCommon/hresult_exception.h"

RegistryValueOverride::RegistryValueOverride(const std::wstring& path, const std::wstring& name,
                                             const std::wstring& text)
    : RegistryValueOverride(path, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)))
{
}

RegistryValueOverride::RegistryValueOverride(const std::wstring& path, const std::wstring& name, DWORD number)
    : RegistryValueOverride(path, name, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number))
{
}

RegistryValueOverride::RegistryValueOverride(const std::wstring& path, const std::wstring& name, DWORD type,
                                             const BYTE* data, DWORD bytes)
    : m_path(path), m_name(name)
{
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, m_key.Put(), nullptr);
    if (status != ERROR_SUCCESS)
        throw hresult_exception(HRESULT_FROM_WIN32(status), "RegCreateKeyExW");
    DWORD size = 0;
    if (RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS)
    {
        m_data.resize(size);
        m_existed = RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &m_type, m_data.data(), &size) ==
                    ERROR_SUCCESS;
        m_data.resize(size);
    }
    OverrideJournal::Record(path, name, m_existed, m_type, m_data);
    status = RegSetValueExW(m_key.Get(), name.c_str(), 0, type, data, bytes);
    if (status != ERROR_SUCCESS)
    {
        OverrideJournal::Forget(path, name);
        throw hresult_exception(HRESULT_FROM_WIN32(status), "RegSetValueExW");
    }
}

RegistryValueOverride::~RegistryValueOverride()
{
    if (m_existed)
        RegSetValueExW(m_key.Get(), m_name.c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        RegDeleteValueW(m_key.Get(), m_name.c_str());
    OverrideJournal::Forget(m_path, m_name);
}
