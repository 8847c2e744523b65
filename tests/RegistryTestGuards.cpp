#include "RegistryTestGuards.h"

#include "QuorvalCommon/UniqueHandles.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::wstring> PathComponents(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t ch : path)
    {
        if (ch == L'\\')
        {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        }
        else
            part += ch;
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

} // namespace

bool RegistryKeyExists(HKEY root, const std::wstring& path)
{
    UniqueHKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

RegistryKeyGuard::RegistryKeyGuard(HKEY root, const std::wstring& path) : m_root(root), m_path(path)
{
    std::wstring prefix;
    for (const std::wstring& part : PathComponents(path))
    {
        prefix += (prefix.empty() ? L"" : L"\\") + part;
        if (!RegistryKeyExists(root, prefix))
        {
            m_firstMissing = prefix;
            break;
        }
    }
}

RegistryKeyGuard::~RegistryKeyGuard()
{
    if (!m_firstMissing.empty())
        RegDeleteTreeW(m_root, m_firstMissing.c_str());
}

void RegistryKeyGuard::Create() const
{
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                             nullptr, key.Put(), nullptr));
}

void RegistryKeyGuard::DeleteTree() const
{
    RegDeleteTreeW(m_root, m_path.c_str());
    RegDeleteKeyW(m_root, m_path.c_str());
}

RegistryValueGuard::RegistryValueGuard(HKEY root, const std::wstring& path, const std::wstring& name)
    : m_key(root, path), m_root(root), m_path(path), m_name(name)
{
    UniqueHKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &m_type, nullptr, &size) != ERROR_SUCCESS)
        return;
    m_data.resize(size);
    m_existed = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &m_type, size ? m_data.data() : nullptr, &size) ==
                ERROR_SUCCESS;
    m_data.resize(size);
}

RegistryValueGuard::~RegistryValueGuard()
{
    if (m_existed)
        SetRaw(m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        Delete();
}

void RegistryValueGuard::SetString(const std::wstring& text, DWORD type) const
{
    SetRaw(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RegistryValueGuard::SetDword(DWORD value) const
{
    SetRaw(REG_DWORD, &value, sizeof(value));
}

void RegistryValueGuard::SetRaw(DWORD type, const void* data, DWORD size) const
{
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                             nullptr, key.Put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), m_name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
}

void RegistryValueGuard::Delete() const
{
    UniqueHKey key;
    if (RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS)
        RegDeleteValueW(key.Get(), m_name.c_str());
}
