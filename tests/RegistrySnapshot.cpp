#include "RegistrySnapshot.h"

#include "QuorvalCommon/UniqueHandles.h"

namespace {

RegistrySnapshot::Key Capture(HKEY key, const std::wstring& name)
{
    RegistrySnapshot::Key captured{name, {}, {}};
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxValueName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return captured;
    for (DWORD i = 0; i < values; ++i)
    {
        std::wstring valueName(maxValueName + 1, L'\0');
        std::vector<BYTE> data(maxData + 2);
        DWORD nameLength = maxValueName + 1, dataLength = maxData + 2, type = 0;
        if (RegEnumValueW(key, i, &valueName[0], &nameLength, nullptr, &type, data.data(), &dataLength) !=
            ERROR_SUCCESS)
            continue;
        valueName.resize(nameLength);
        data.resize(dataLength);
        captured.values.push_back({valueName, type, data});
    }
    for (DWORD i = 0; i < subkeys; ++i)
    {
        std::wstring childName(maxSubkey + 1, L'\0');
        DWORD length = maxSubkey + 1;
        if (RegEnumKeyExW(key, i, &childName[0], &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        childName.resize(length);
        UniqueHKey child;
        if (RegOpenKeyExW(key, childName.c_str(), 0, KEY_READ, child.Put()) == ERROR_SUCCESS)
            captured.children.push_back(Capture(child.Get(), childName));
    }
    return captured;
}

void Recreate(HKEY parent, const std::wstring& path, const RegistrySnapshot::Key& captured)
{
    UniqueHKey key;
    if (RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const RegistrySnapshot::Value& value : captured.values)
        RegSetValueExW(key.Get(), value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                       value.data.data(), static_cast<DWORD>(value.data.size()));
    for (const RegistrySnapshot::Key& child : captured.children)
        Recreate(key.Get(), child.name, child);
}

} // namespace

RegistrySnapshot::RegistrySnapshot(HKEY root, std::vector<std::wstring> paths) : m_root(root)
{
    for (std::wstring& path : paths)
    {
        UniqueHKey key;
        const bool existed = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
        m_entries.push_back({path, existed, existed ? Capture(key.Get(), path) : Key{}});
    }
}

RegistrySnapshot::~RegistrySnapshot()
{
    DeleteAll();
    for (const Entry& entry : m_entries)
    {
        if (entry.existed)
            Recreate(m_root, entry.path, entry.key);
    }
}

void RegistrySnapshot::DeleteAll() const
{
    for (auto entry = m_entries.rbegin(); entry != m_entries.rend(); ++entry)
        RegDeleteTreeW(m_root, entry->path.c_str());
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    UniqueHKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

std::wstring ReadText(HKEY root, const std::wstring& path, const std::wstring& name)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
        return L"<absent>";
    return buffer;
}
