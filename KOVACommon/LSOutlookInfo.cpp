// Placeholder environment: keeps the first profile name only.
#include "LSOutlookInfo.h"

namespace {
CStdStr g_profileName;
}

void LSOutlookInfo::SetProfileName(const std::wstring& profileName)
{
    if (g_profileName.empty())
        g_profileName = profileName;
}

CStdStr LSOutlookInfo::GetProfileName() { return g_profileName; }
void LSOutlookInfo::ResetForTest() { g_profileName.clear(); }
