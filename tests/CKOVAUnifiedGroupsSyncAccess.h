#pragma once
// Test access to the filter object: the list its item operations address,
// set without a sync pass.
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"

#include <utility>
#include <vector>

class CKOVAUnifiedGroupsSyncAccess
{
public:
    // As if a folder update had produced the list.
    static void SetGroups(CKOVAUnifiedGroupsSync& filter, std::vector<CKOVAUnifiedGroupsSync::Group> groups)
    {
        filter.m_groups = std::move(groups);
        filter.m_hasGroupList = true;
    }
};
