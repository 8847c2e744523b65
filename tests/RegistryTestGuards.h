#pragma once
// Registry guards for tests: every case leaves the keys and values it touches
// as it found them.
#include <windows.h>
#include <string>
#include <vector>

// Deletes, at scope end, the part of a key path that did not exist at
// construction (from its shallowest missing component down).
class RegistryKeyGuard
{
public:
    RegistryKeyGuard(HKEY root, const std::wstring& path);
    ~RegistryKeyGuard();
    RegistryKeyGuard(const RegistryKeyGuard&) = delete;
    RegistryKeyGuard& operator=(const RegistryKeyGuard&) = delete;

    // Creates the key (and missing parents).
    void Create() const;
    // Deletes the key and everything below it.
    void DeleteTree() const;

private:
    HKEY m_root;
    std::wstring m_path;
    std::wstring m_firstMissing; // empty when the whole path existed
};

// Remembers one value (or its absence) and puts it back at scope end.
class RegistryValueGuard
{
public:
    RegistryValueGuard(HKEY root, const std::wstring& path, const std::wstring& name);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    void SetString(const std::wstring& text, DWORD type = REG_SZ) const;
    void SetDword(DWORD value) const;
    void SetRaw(DWORD type, const void* data, DWORD size) const;
    void Delete() const;

private:
    RegistryKeyGuard m_key;
    HKEY m_root;
    std::wstring m_path;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_data;
};

bool RegistryKeyExists(HKEY root, const std::wstring& path);
