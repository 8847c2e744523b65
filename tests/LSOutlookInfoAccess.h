#pragma once
// Test access to the mail-client facts the process caches: each case starts
// from a process that has not asked yet.
#include "KOVACommon/host/LSOutlookInfo.h"

class LSOutlookInfoAccess
{
public:
    // Forgets the cached profile name, version and folder.
    static void Reset()
    {
        LSOutlookInfo::s_profileName.clear();
        LSOutlookInfo::s_profileFolder.clear();
        LSOutlookInfo::s_majorVersion = 0;
    }
};
