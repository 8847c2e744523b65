#include "SyncHostPass.h"

#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVACommon/host/LSPropertyNames.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/hresult_exception.h"

#include <set>

_COM_SMARTPTR_TYPEDEF(IKOVAWaitingGroups, __uuidof(IKOVAWaitingGroups));
_COM_SMARTPTR_TYPEDEF(IKOVAPassFigures, __uuidof(IKOVAPassFigures));

namespace {

// A failed step ends the pass; the report says which one.
class StepFailure
{
public:
    StepFailure(const wchar_t* step, HRESULT hr) : step(step), hr(hr) {}
    const wchar_t* step;
    HRESULT hr;
};

void Check(const wchar_t* step, HRESULT hr)
{
    if (FAILED(hr))
        throw StepFailure(step, hr);
}

ILSSyncFilter2Ptr CreateFilter(const std::wstring& progId, const AroundCreation& aroundCreation)
{
    CLSID clsid{};
    Check(L"CLSIDFromProgID", CLSIDFromProgID(progId.c_str(), &clsid));
    ILSSyncFilter2* filter = nullptr;
    aroundCreation([&] {
        Check(L"CoCreateInstance", CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ILSSyncFilter2),
                                                    reinterpret_cast<void**>(&filter)));
    });
    return ILSSyncFilter2Ptr(filter, false);
}

void HandOverInformer(ILSSyncFilter2Ptr& filter, LSHostShutdownInformer& informer)
{
    ILSNeedsShutdownInfoPtr needsInformer;
    if (FAILED(filter.QueryInterface(__uuidof(ILSNeedsShutdownInfo), &needsInformer)))
        return; // a filter without long waits needs none
    Check(L"SetShutdownInformer", needsInformer->SetShutdownInformer(informer.Interface()));
}

ItemProperties DescribeItem(const ILSSyncFilter2Ptr& filter, USHORT index)
{
    LSHostPropertyMapHolder basic;
    LSHostPropertyMapHolder full;
    ItemProperties item;
    const HRESULT basicResult = filter->GetItemBasicProps(index, basic.Interface());
    item.basic = WrittenProperties(*basic);
    Check(L"GetItemBasicProps", basicResult);
    const HRESULT fullResult = filter->SetItemProperties(index, full.Interface());
    item.full = WrittenProperties(*full);
    Check(L"SetItemProperties", fullResult);
    return item;
}

// The filter's own figures of its last pass; null from a filter that has none.
IKOVAPassFiguresPtr FiguresOf(const ILSSyncFilter2Ptr& filter)
{
    IKOVAPassFigures* raw = nullptr;
    if (filter->QueryInterface(__uuidof(IKOVAPassFigures), reinterpret_cast<void**>(&raw)) != S_OK || !raw)
        return nullptr;
    return IKOVAPassFiguresPtr(raw, false);
}

// The service that produced the list, as the filter reports it; empty from a
// filter that does not say.
std::wstring ListingService(const ILSSyncFilter2Ptr& filter)
{
    const IKOVAPassFiguresPtr figures = FiguresOf(filter);
    if (!figures)
        return std::wstring();
    BSTR service = nullptr;
    const HRESULT hr = figures->GetListService(&service);
    const _bstr_t serviceText(service, false);
    Check(L"GetListService", hr);
    return CStdStr(serviceText);
}

// The filter's groups that wait for their library; none from a filter that
// does not say.
std::vector<WaitingGroup> WaitingGroups(const ILSSyncFilter2Ptr& filter)
{
    std::vector<WaitingGroup> waiting;
    IKOVAWaitingGroups* raw = nullptr;
    if (filter->QueryInterface(__uuidof(IKOVAWaitingGroups), reinterpret_cast<void**>(&raw)) != S_OK || !raw)
        return waiting;
    const IKOVAWaitingGroupsPtr groups(raw, false);
    LONG count = 0;
    Check(L"GetWaitingCount", groups->GetWaitingCount(&count));
    for (LONG i = 0; i < count; ++i)
    {
        BSTR id = nullptr;
        BSTR name = nullptr;
        BSTR message = nullptr;
        const HRESULT hr = groups->GetWaitingGroup(i, &id, &name, &message);
        const _bstr_t idText(id, false);
        const _bstr_t nameText(name, false);
        const _bstr_t messageText(message, false);
        Check(L"GetWaitingGroup", hr);
        waiting.push_back({CStdStr(idText), CStdStr(nameText), CStdStr(messageText)});
    }
    return waiting;
}

// The requests the filter's last folder update sent; none from a filter
// that does not say.
std::optional<unsigned long> LastUpdateRequests(const ILSSyncFilter2Ptr& filter)
{
    const IKOVAPassFiguresPtr figures = FiguresOf(filter);
    if (!figures)
        return std::nullopt;
    ULONG requests = 0;
    Check(L"GetLastUpdateRequests", figures->GetLastUpdateRequests(&requests));
    return requests;
}

double NowMs()
{
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// One pass: the folder update, then every item as the host reads it. The
// report keeps the last pass's items.
void RunPass(const ILSSyncFilter2Ptr& filter, const SyncHostOptions& options, SyncPassReport& report)
{
    report.itemCount.reset();
    report.items.clear();
    report.waiting.clear();
    const double start = NowMs();
    LSHostPropertyMapHolder folder;
    folder->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation), options.folderLocation);
    Check(L"PreContentSyncFolderUpdate", filter->PreContentSyncFolderUpdate(folder.Interface()));
    report.backend = ListingService(filter);

    USHORT count = 0;
    Check(L"get_ItemCount", filter->get_ItemCount(&count));
    report.itemCount = count;
    for (USHORT index = 0; index < count; ++index)
        report.items.push_back(DescribeItem(filter, index));
    const double end = NowMs();
    report.waiting = WaitingGroups(filter);
    report.passes.push_back({LastUpdateRequests(filter), end - start});
}

void RunSteps(const SyncHostOptions& options, LSHostShutdownInformer& informer,
              const AroundCreation& aroundCreation, SyncPassReport& report)
{
    ILSSyncFilter2Ptr filter = CreateFilter(options.progId, aroundCreation);
    HandOverInformer(filter, informer);
    Check(L"SetCurrentProfileName", filter->SetCurrentProfileName(_bstr_t(options.profile.c_str())));

    const unsigned passes = options.passes.value_or(1);
    for (unsigned pass = 1; pass <= passes; ++pass)
    {
        report.failedPass = pass;
        RunPass(filter, options, report);
    }
    report.failedPass = 0;

    if (options.startPoint)
    {
        Check(L"SetSyncStartPointByString", filter->SetSyncStartPointByString(_bstr_t(options.startPoint->c_str())));
        report.topFolder = DescribeItem(filter, 0);
    }
}

} // namespace

PropertyList WrittenProperties(const LSHostPropertyMap& map)
{
    PropertyList written;
    std::set<std::wstring> seen;
    for (const LSHostPropertyMap::Call& call : map.Calls())
    {
        if (call.method.rfind(L"Set", 0) != 0 || !map.Has(call.name) || !seen.insert(call.name).second)
            continue;
        written.emplace_back(call.name, map.Values().at(call.name));
    }
    return written;
}

SyncPassReport RunSyncPass(const SyncHostOptions& options, LSHostShutdownInformer& informer,
                           const AroundCreation& aroundCreation)
{
    SyncPassReport report;
    try
    {
        RunSteps(options, informer, aroundCreation, report);
    }
    catch (const StepFailure& failure)
    {
        report.hr = failure.hr;
        report.failedStep = failure.step;
    }
    return report;
}
