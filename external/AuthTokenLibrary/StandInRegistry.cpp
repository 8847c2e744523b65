#include "StandInRegistry.h"

#include <vector>

namespace StandInRegistry {

const wchar_t* const KeyPath = L"Software\\Quorval\\AuthTokenLibraryStandIn";

namespace {

// The key a CallScope of this thread holds open; null outside one.
thread_local HKEY t_callKey = nullptr;

// Null when the key can be neither opened nor created.
HKEY OpenOrCreate()
{
    HKEY key = nullptr;
    return RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                           nullptr) == ERROR_SUCCESS
               ? key
               : nullptr;
}

class Key
{
public:
    explicit Key(bool forWriting)
    {
        if (t_callKey)
        {
            m_key = t_callKey;
            m_owned = false;
            return;
        }
        if (forWriting)
            m_key = OpenOrCreate();
        else if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath, 0, KEY_READ, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~Key()
    {
        if (m_key && m_owned)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
    bool m_owned = true;
};

} // namespace

CallScope::CallScope() : m_outer(t_callKey)
{
    if (m_outer)
        return;
    m_key = OpenOrCreate();
    if (m_key)
        t_callKey = m_key;
}

CallScope::~CallScope()
{
    if (!m_key)
        return;
    t_callKey = m_outer;
    RegCloseKey(m_key);
}

bool HasValue(const std::wstring& name)
{
    Key key(false);
    return key.Get() && RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring ReadText(const std::wstring& name, const std::wstring& defaultValue)
{
    Key key(false);
    DWORD type = 0;
    DWORD size = 0;
    if (!key.Get() || RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return defaultValue;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return defaultValue;
    return std::wstring(buffer.data());
}

DWORD ReadNumber(const std::wstring& name, DWORD defaultValue)
{
    Key key(false);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!key.Get() ||
        RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return defaultValue;
    return value;
}

void WriteText(const std::wstring& name, const std::wstring& value)
{
    Key key(true);
    if (key.Get())
        RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void WriteNumber(const std::wstring& name, DWORD value)
{
    Key key(true);
    if (key.Get())
        RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

DWORD Increment(const std::wstring& name)
{
    DWORD count = ReadNumber(name, 0) + 1;
    WriteNumber(name, count);
    return count;
}

} // namespace StandInRegistry
