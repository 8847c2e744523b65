#include "KOVAUnifiedGroupsSync/LSGroupFileName.h"

#include <cwctype>

namespace LSGroupFileName {

namespace {

// A path component holds at most 255 UTF-16 units; the host adds ".msg".
constexpr size_t MostUnits = 255 - 4;

bool IsForbidden(wchar_t ch)
{
    return ch < 0x20 || std::wstring(L"<>:\"/\\|?*").find(ch) != std::wstring::npos;
}

bool IsHighSurrogate(wchar_t ch)
{
    return ch >= 0xD800 && ch <= 0xDBFF;
}

// Cut to the limit, not between a surrogate pair's halves, then without
// trailing dots and spaces, which Windows drops from a name.
void FitAndTrim(std::wstring& name)
{
    if (name.size() > MostUnits)
        name.resize(IsHighSurrogate(name[MostUnits - 1]) ? MostUnits - 1 : MostUnits);
    const size_t last = name.find_last_not_of(L". ");
    name.erase(last == std::wstring::npos ? 0 : last + 1);
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& ch : text)
        ch = static_cast<wchar_t>(std::towupper(ch));
    return text;
}

// Windows takes a name as the device whatever follows the first dot, and
// ignores spaces before that dot; the superscript digits count as digits.
bool IsDeviceName(const std::wstring& stem)
{
    const std::wstring upper = Upper(stem);
    if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL")
        return true;
    if (upper.size() != 4 || (upper.compare(0, 3, L"COM") != 0 && upper.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = upper[3];
    return (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
}

void AvoidDeviceName(std::wstring& name)
{
    const size_t stemEnd = name.find(L'.');
    std::wstring stem = name.substr(0, stemEnd);
    stem.erase(stem.find_last_not_of(L' ') + 1);
    if (IsDeviceName(stem))
        name.insert(stem.size(), 1, L'_');
}

} // namespace

std::wstring For(const std::wstring& displayName)
{
    if (displayName.empty())
        return displayName;
    std::wstring name = displayName;
    for (wchar_t& ch : name)
        if (IsForbidden(ch))
            ch = L'_';
    FitAndTrim(name);
    if (name.empty())
        name.assign(1, L'_');
    AvoidDeviceName(name);
    // "_" after a device name may take the name one over the limit; the
    // inserted "_" stays, so cutting cannot make it a device name again.
    FitAndTrim(name);
    return name;
}

} // namespace LSGroupFileName
