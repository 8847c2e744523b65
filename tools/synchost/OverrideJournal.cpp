#include "OverrideJournal.h"

#include "QuorvalCommon/UniqueHandles.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cwchar>

namespace {

const wchar_t* const JournalParent = L"Software\\Quorval\\synchost";
const wchar_t* const JournalRoot = L"Software\\Quorval\\synchost\\PendingRestore";
const wchar_t* const StartedValue = L"ProcessStarted";
const wchar_t* const PathValue = L"Path";
const wchar_t* const NameValue = L"Name";
const wchar_t* const PreviousValue = L"Previous";

ULONGLONG StartTimeOf(HANDLE process)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

std::wstring ProcessKeyPath(DWORD processId)
{
    return std::wstring(JournalRoot) + L"\\" + std::to_wstring(processId);
}

// One note per setting: the key name is the setting's path and name, with
// the separators the registry does not allow in a key name replaced.
std::wstring EntryName(const std::wstring& path, const std::wstring& name)
{
    std::wstring entry = path + L"|" + name;
    for (wchar_t& c : entry)
        if (c == L'\\')
            c = L'/';
    return entry;
}

UniqueHKey CreateKey(const std::wstring& path)
{
    UniqueHKey key;
    const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS)
        throw hresult_exception(HRESULT_FROM_WIN32(status), "RegCreateKeyExW");
    return key;
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, size_t bytes)
{
    const LSTATUS status =
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    if (status != ERROR_SUCCESS)
        throw hresult_exception(HRESULT_FROM_WIN32(status), "RegSetValueExW");
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    SetValue(key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

std::wstring ReadText(HKEY key, const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    return buffer;
}

// The noted process still runs: the same id and the same start time.
bool StillRuns(DWORD processId, HKEY processKey)
{
    ULONGLONG noted = 0;
    DWORD bytes = sizeof(noted);
    RegQueryValueExW(processKey, StartedValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&noted), &bytes);
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    if (!process)
        return false;
    return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT && StartTimeOf(process.Get()) == noted;
}

void RestoreEntry(HKEY entry)
{
    const std::wstring path = ReadText(entry, PathValue);
    const std::wstring name = ReadText(entry, NameValue);
    if (path.empty() || name.empty())
        return;
    UniqueHKey setting;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, setting.Put()) != ERROR_SUCCESS)
        return; // the key is gone, and the value with it
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(entry, PreviousValue, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    {
        RegDeleteValueW(setting.Get(), name.c_str());
        return;
    }
    std::vector<BYTE> previous(bytes);
    if (RegQueryValueExW(entry, PreviousValue, nullptr, &type, previous.data(), &bytes) == ERROR_SUCCESS)
        RegSetValueExW(setting.Get(), name.c_str(), 0, type, previous.data(), bytes);
}

void RestoreProcess(HKEY processKey)
{
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[512] = {};
        DWORD length = 512;
        if (RegEnumKeyExW(processKey, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        UniqueHKey entry;
        if (RegOpenKeyExW(processKey, name, 0, KEY_READ, entry.Put()) == ERROR_SUCCESS)
            RestoreEntry(entry.Get());
    }
}

// Empty journal keys go, so a clean run leaves no trace.
void RemoveEmptyJournal()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, JournalRoot);
    RegDeleteKeyW(HKEY_CURRENT_USER, JournalParent);
}

} // namespace

void OverrideJournal::Record(const std::wstring& path, const std::wstring& name, bool existed, DWORD type,
                             const std::vector<BYTE>& previous)
{
    const UniqueHKey processKey = CreateKey(ProcessKeyPath(GetCurrentProcessId()));
    const ULONGLONG started = StartTimeOf(GetCurrentProcess());
    SetValue(processKey.Get(), StartedValue, REG_QWORD, &started, sizeof(started));
    const UniqueHKey entry = CreateKey(ProcessKeyPath(GetCurrentProcessId()) + L"\\" + EntryName(path, name));
    SetText(entry.Get(), PathValue, path);
    SetText(entry.Get(), NameValue, name);
    if (existed)
        SetValue(entry.Get(), PreviousValue, type, previous.data(), previous.size());
    else
        RegDeleteValueW(entry.Get(), PreviousValue);
}

void OverrideJournal::Forget(const std::wstring& path, const std::wstring& name)
{
    const std::wstring processPath = ProcessKeyPath(GetCurrentProcessId());
    RegDeleteKeyW(HKEY_CURRENT_USER, (processPath + L"\\" + EntryName(path, name)).c_str());
    UniqueHKey processKey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, processPath.c_str(), 0, KEY_READ, processKey.Put()) == ERROR_SUCCESS)
    {
        DWORD entries = 0;
        RegQueryInfoKeyW(processKey.Get(), nullptr, nullptr, nullptr, &entries, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
        processKey.Reset();
        if (entries == 0)
            RegDeleteKeyW(HKEY_CURRENT_USER, processPath.c_str());
    }
    RemoveEmptyJournal();
}

void OverrideJournal::RestoreLeftovers()
{
    UniqueHKey root;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, JournalRoot, 0, KEY_READ, root.Put()) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> ended;
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[64] = {};
        DWORD length = 64;
        if (RegEnumKeyExW(root.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        UniqueHKey processKey;
        if (RegOpenKeyExW(root.Get(), name, 0, KEY_READ, processKey.Put()) != ERROR_SUCCESS)
            continue;
        const DWORD processId = static_cast<DWORD>(std::wcstoul(name, nullptr, 10));
        if (processId == GetCurrentProcessId() || !StillRuns(processId, processKey.Get()))
        {
            RestoreProcess(processKey.Get());
            ended.push_back(name);
        }
    }
    root.Reset();
    for (const std::wstring& name : ended)
        RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(JournalRoot) + L"\\" + name).c_str());
    RemoveEmptyJournal();
}
