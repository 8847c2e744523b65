#pragma once
// Registration runs in the system default locale, so texts the platform
// formats for the registry do not depend on the caller's thread locale. The
// caller's locale comes back however the scope is left.
#include <windows.h>

class LSThreadLocaleScope
{
public:
    LSThreadLocaleScope() : m_saved(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~LSThreadLocaleScope() { SetThreadLocale(m_saved); }
    LSThreadLocaleScope(const LSThreadLocaleScope&) = delete;
    LSThreadLocaleScope& operator=(const LSThreadLocaleScope&) = delete;

private:
    LCID m_saved;
};
