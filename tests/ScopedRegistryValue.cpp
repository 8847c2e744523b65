#include "ScopedRegistryValue.h"

#include "UniqueHandles.h"

#include <gtest/gtest.h>

namespace {

UniqueHKey OpenKey(HKEY root, const std::wstring& path, REGSAM access)
{
    UniqueHKey key;
    RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.Put(), nullptr);
    return key;
}

} // namespace

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::wstring keyPath, std::wstring name)
    : m_root(root), m_keyPath(std::move(keyPath)), m_name(std::move(name))
{
    UniqueHKey key = OpenKey(m_root, m_keyPath, KEY_READ);
    DWORD size = 0;
    if (key && RegQueryValueExW(key.Get(), m_name.c_str(), nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS)
    {
        m_data.resize(size);
        m_existed = RegQueryValueExW(key.Get(), m_name.c_str(), nullptr, &m_type, m_data.data(), &size) ==
                    ERROR_SUCCESS;
    }
}

ScopedRegistryValue::~ScopedRegistryValue()
{
    if (m_existed)
        Write(m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        Delete();
}

std::wstring ScopedRegistryValue::SettingsKeyPath()
{
    return L"SOFTWARE\\Quorval\\Quorval KOVA";
}

void ScopedRegistryValue::SetString(const std::wstring& value)
{
    Write(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ScopedRegistryValue::SetDword(DWORD value)
{
    Write(REG_DWORD, &value, sizeof(value));
}

void ScopedRegistryValue::Delete()
{
    UniqueHKey key = OpenKey(m_root, m_keyPath, KEY_WRITE);
    if (key)
        RegDeleteValueW(key.Get(), m_name.c_str());
}

std::wstring ScopedRegistryValue::ReadString() const
{
    UniqueHKey key = OpenKey(m_root, m_keyPath, KEY_READ);
    std::vector<wchar_t> buffer(1024, L'\0');
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (!key || RegQueryValueExW(key.Get(), m_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                 &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    return std::wstring(buffer.data());
}

void ScopedRegistryValue::Write(DWORD type, const void* data, DWORD size)
{
    UniqueHKey key = OpenKey(m_root, m_keyPath, KEY_WRITE);
    ASSERT_TRUE(key) << "cannot open the settings key for writing";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), m_name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
}
