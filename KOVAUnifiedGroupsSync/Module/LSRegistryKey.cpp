#include "KOVAUnifiedGroupsSync/Module/LSRegistryKey.h"

#include "QuorvalCommon/hresult_exception.h"

namespace {

bool IsAbsent(LSTATUS status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

} // namespace

LSRegistryKey LSRegistryKey::Create(HKEY parent, const std::wstring& path)
{
    HKEY key = nullptr;
    ThrowIfFailed(HRESULT_FROM_WIN32(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                     KEY_ALL_ACCESS, nullptr, &key, nullptr)),
                  "RegCreateKeyExW");
    return LSRegistryKey(key);
}

LSRegistryKey LSRegistryKey::OpenIfPresent(HKEY parent, const std::wstring& path)
{
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (IsAbsent(status))
        return LSRegistryKey(nullptr);
    ThrowIfFailed(HRESULT_FROM_WIN32(status), "RegOpenKeyExW");
    return LSRegistryKey(key);
}

void LSRegistryKey::SetText(const std::wstring& name, const std::wstring& text) const
{
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)); // with the terminating NUL
    ThrowIfFailed(HRESULT_FROM_WIN32(RegSetValueExW(m_key.Get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                                    reinterpret_cast<const BYTE*>(text.c_str()), bytes)),
                  "RegSetValueExW");
}

LSRegistryKey LSRegistryKey::CreateChild(const std::wstring& name, const std::wstring& defaultText) const
{
    LSRegistryKey child = Create(m_key.Get(), name);
    child.SetDefault(defaultText);
    return child;
}

void LSRegistryKey::DeleteTree(const std::wstring& name) const
{
    const LSTATUS status = RegDeleteTreeW(m_key.Get(), name.c_str());
    if (!IsAbsent(status))
        ThrowIfFailed(HRESULT_FROM_WIN32(status), "RegDeleteTreeW");
}

void LSRegistryKey::DeleteIfLeaf(const std::wstring& name) const
{
    LSRegistryKey key = OpenIfPresent(m_key.Get(), name);
    if (!key)
        return;
    DWORD subkeys = 0;
    ThrowIfFailed(HRESULT_FROM_WIN32(RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)),
                  "RegQueryInfoKeyW");
    if (subkeys != 0)
        return; // something else lives under it
    const LSTATUS status = RegDeleteKeyW(m_key.Get(), name.c_str());
    if (!IsAbsent(status))
        ThrowIfFailed(HRESULT_FROM_WIN32(status), "RegDeleteKeyW");
}
