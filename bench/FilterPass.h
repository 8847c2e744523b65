#pragma once
// The component as the host engine drives it: created once by ProgID, then
// any number of sync passes on the same object.
#include "KOVASyncBasicsPtrs.h"
#include "LSHostShutdownInformer.h"

#include <string>

class FilterPass
{
public:
    explicit FilterPass(const std::wstring& progId);
    ~FilterPass();
    FilterPass(const FilterPass&) = delete;
    FilterPass& operator=(const FilterPass&) = delete;

    // PreContentSyncFolderUpdate, the item count, then the basic and the
    // full properties of every item. Returns the item count; a failed call
    // throws BenchFailure.
    unsigned Run();

private:
    LSHostShutdownInformer* m_informer;
    ILSSyncFilter2Ptr m_filter;
};
