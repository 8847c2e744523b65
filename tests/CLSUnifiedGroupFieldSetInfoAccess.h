#pragma once
// Test access to the field-set descriptor: nothing in the component fills its
// name list, so tests do, to reach the in-range path of the name lookups.
#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupFieldSetInfo.h"

#include <utility>
#include <vector>

class CLSUnifiedGroupFieldSetInfoAccess
{
public:
    static void SetFieldNames(CLSUnifiedGroupFieldSetInfo& object, std::vector<CStdStr> names)
    {
        object.m_fieldNames = std::move(names);
    }
};
