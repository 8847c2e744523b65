#include "KOVACommon/http/LSRetryAfter.h"

#include <ctime>

namespace LSRetryAfter {

namespace {

std::wstring Trimmed(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool AllDigits(const std::wstring& text)
{
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// Digits only and within 32 bits, else false.
bool ReadUnsigned(const std::wstring& text, uint64_t& value)
{
    if (!AllDigits(text) || text.size() > 19)
        return false;
    value = 0;
    for (wchar_t digit : text)
        value = value * 10 + static_cast<uint64_t>(digit - L'0');
    return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

int MonthNumber(const std::wstring& name)
{
    static const wchar_t* const names[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                           L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    for (int i = 0; i < 12; ++i)
        if (name == names[i])
            return i + 1;
    return 0;
}

bool Field(const std::wstring& text, size_t at, size_t length, uint64_t& value)
{
    return at + length <= text.size() && ReadUnsigned(text.substr(at, length), value);
}

// "Sun, 06 Nov 1994 08:49:37 GMT", the one form servers send today.
bool ReadHttpDate(const std::wstring& text, int64_t& unixSeconds)
{
    if (text.size() != 29 || text.compare(3, 2, L", ") != 0 || text[7] != L' ' || text[11] != L' ' ||
        text[16] != L' ' || text[19] != L':' || text[22] != L':' || text.compare(25, 4, L" GMT") != 0)
        return false;
    uint64_t day = 0, year = 0, hour = 0, minute = 0, second = 0;
    const int month = MonthNumber(text.substr(8, 3));
    if (!month || !Field(text, 5, 2, day) || !Field(text, 12, 4, year) || !Field(text, 17, 2, hour) ||
        !Field(text, 20, 2, minute) || !Field(text, 23, 2, second) || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60)
        return false;
    unixSeconds = DaysFromCivil(static_cast<int64_t>(year), static_cast<unsigned>(month),
                                static_cast<unsigned>(day)) * 86400 +
                  static_cast<int64_t>(hour * 3600 + minute * 60 + second);
    return true;
}

} // namespace

uint32_t Seconds(const std::wstring& value)
{
    return Seconds(value, static_cast<int64_t>(std::time(nullptr)));
}

uint32_t Seconds(const std::wstring& value, int64_t nowUnixSeconds)
{
    const std::wstring text = Trimmed(value);
    uint64_t seconds = 0;
    if (ReadUnsigned(text, seconds))
        return seconds <= UINT32_MAX ? static_cast<uint32_t>(seconds) : 0;
    int64_t date = 0;
    if (!ReadHttpDate(text, date) || date <= nowUnixSeconds)
        return 0;
    const int64_t ahead = date - nowUnixSeconds;
    return ahead <= static_cast<int64_t>(UINT32_MAX) ? static_cast<uint32_t>(ahead) : 0;
}

uint32_t FromMilliseconds(const std::wstring& milliseconds)
{
    uint64_t value = 0;
    if (!ReadUnsigned(Trimmed(milliseconds), value))
        return 0;
    const uint64_t seconds = (value + 999) / 1000;
    return seconds <= UINT32_MAX ? static_cast<uint32_t>(seconds) : 0;
}

} // namespace LSRetryAfter
