#pragma once

// The value of one hexadecimal digit in either case, or -1 for any other
// character; one reader for numeric references and percent escapes alike.
inline int HexDigitValue(wchar_t digit)
{
    if (digit >= L'0' && digit <= L'9')
        return digit - L'0';
    if (digit >= L'a' && digit <= L'f')
        return digit - L'a' + 10;
    if (digit >= L'A' && digit <= L'F')
        return digit - L'A' + 10;
    return -1;
}
