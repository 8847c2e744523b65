#pragma once
// Where synchost notes, before it changes a user setting for a run, what the
// setting held: a run that is killed leaves its note behind, and the next run
// puts those settings back before it changes anything.
#include <windows.h>
#include <string>
#include <vector>

class OverrideJournal
{
public:
    // This process's note of one setting about to change (under HKEY_CURRENT_USER).
    // Throws hresult_exception when the note cannot be written.
    static void Record(const std::wstring& path, const std::wstring& name, bool existed, DWORD type,
                       const std::vector<BYTE>& previous);
    // The setting is back: its note goes.
    static void Forget(const std::wstring& path, const std::wstring& name);
    // Puts back every setting noted by a synchost process that no longer runs.
    static void RestoreLeftovers();
};
