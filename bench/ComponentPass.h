#pragma once
// One sync pass through the real component, created by ProgID as the host
// engine creates it.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "external/HostObjects/LSHostShutdownInformer.h"

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
    // Wall time of the last Run's PreContentSyncFolderUpdate (the web exchanges
    // and parsing) and of its item hand-over, in milliseconds.
    double RefreshMs() const { return m_refreshMs; }
    double ItemsMs() const { return m_itemsMs; }
    // Requests the last Run's folder update sent, as the filter counts them.
    unsigned long Requests();

private:
    LSHostShutdownInformer* m_informer;
    ILSSyncFilter2Ptr m_filter;
    double m_refreshMs = 0.0;
    double m_itemsMs = 0.0;
};
