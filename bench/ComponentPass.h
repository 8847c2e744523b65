#pragma once
// One sync pass through the real component, created by ProgID as the host
// engine creates it.
#include "KOVASyncBasicsPtrs.h"
#include "LSHostShutdownInformer.h"

#include <string>

class ComponentPass
{
public:
    explicit ComponentPass(const std::wstring& progId);
    ~ComponentPass();
    ComponentPass(const ComponentPass&) = delete;
    ComponentPass& operator=(const ComponentPass&) = delete;

    // PreContentSyncFolderUpdate to the last SetItemProperties; returns the item count.
    unsigned Run();

private:
    LSHostShutdownInformer* m_informer;
    ILSSyncFilter2Ptr m_filter;
};
