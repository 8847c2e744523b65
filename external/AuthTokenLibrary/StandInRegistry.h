#pragma once
// The stand-in's one registry key: tests write its behaviour there and read
// back what it was called with. Layout in README.md.
#include <windows.h>
#include <string>

namespace StandInRegistry {

extern const wchar_t* const KeyPath; // under HKEY_CURRENT_USER

// Holds the key open for one method call, so its reads and writes do not each
// open it again (every open and close is a round trip to the registry).
class CallScope
{
public:
    CallScope();
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    HKEY m_outer;
    HKEY m_key = nullptr;
};

bool HasValue(const std::wstring& name);
std::wstring ReadText(const std::wstring& name, const std::wstring& defaultValue);
DWORD ReadNumber(const std::wstring& name, DWORD defaultValue);
void WriteText(const std::wstring& name, const std::wstring& value);
void WriteNumber(const std::wstring& name, DWORD value);
// Adds one to a recorded count and returns the new count.
DWORD Increment(const std::wstring& name);

} // namespace StandInRegistry
