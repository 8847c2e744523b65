#pragma once
// Remembers registry subtrees (or their absence) and puts them back exactly
// when it goes out of scope, so tests that register leave the keys as found.
#include <windows.h>
#include <string>
#include <vector>

class RegistrySnapshot
{
public:
    RegistrySnapshot(HKEY root, std::vector<std::wstring> paths);
    ~RegistrySnapshot();
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

    // Removes every remembered subtree (for a clean start).
    void DeleteAll() const;

    struct Value
    {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct Key
    {
        std::wstring name;
        std::vector<Value> values;
        std::vector<Key> children;
    };

private:
    struct Entry
    {
        std::wstring path;
        bool existed;
        Key key;
    };
    HKEY m_root;
    std::vector<Entry> m_entries;
};

// Registry reading for assertions.
bool KeyExists(HKEY root, const std::wstring& path);
// The text of a value ("" = default); absent keys and values read as "<absent>".
std::wstring ReadText(HKEY root, const std::wstring& path, const std::wstring& name = L"");
