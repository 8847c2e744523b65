#include "ComponentPass.h"

#include "KOVACommon/host/LSPropertyNames.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "ProcessFigures.h"
#include "QuorvalCommon/hresult_exception.h"
#include "external/HostObjects/LSHostPropertyMap.h"

_COM_SMARTPTR_TYPEDEF(IKOVAPassFigures, __uuidof(IKOVAPassFigures));

namespace {

void Check(const char* step, HRESULT hr)
{
    if (FAILED(hr))
        throw hresult_exception(hr, step);
}

ILSSyncFilter2Ptr CreateFilter(const std::wstring& progId)
{
    CLSID clsid{};
    Check("CLSIDFromProgID", CLSIDFromProgID(progId.c_str(), &clsid));
    ILSSyncFilter2* filter = nullptr;
    Check("CoCreateInstance", CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ILSSyncFilter2),
                                               reinterpret_cast<void**>(&filter)));
    return ILSSyncFilter2Ptr(filter, false);
}

} // namespace

ComponentPass::ComponentPass(const std::wstring& progId)
    : m_informer(LSHostShutdownInformer::Create()), m_filter(CreateFilter(progId))
{
    ILSNeedsShutdownInfoPtr needsInformer;
    if (SUCCEEDED(m_filter.QueryInterface(__uuidof(ILSNeedsShutdownInfo), &needsInformer)))
        Check("SetShutdownInformer", needsInformer->SetShutdownInformer(m_informer->Interface()));
    Check("SetCurrentProfileName", m_filter->SetCurrentProfileName(_bstr_t(L"Outlook")));
}

ComponentPass::~ComponentPass()
{
    m_filter = nullptr;
    m_informer->Release();
}

unsigned ComponentPass::Run()
{
    LSHostPropertyMapHolder folder;
    folder->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation),
                   L"KOVAUnifiedGroups!Unified Groups");
    const double start = WallMilliseconds();
    Check("PreContentSyncFolderUpdate", m_filter->PreContentSyncFolderUpdate(folder.Interface()));
    const double refreshed = WallMilliseconds();
    USHORT count = 0;
    Check("get_ItemCount", m_filter->get_ItemCount(&count));
    for (USHORT index = 0; index < count; ++index)
    {
        LSHostPropertyMapHolder basic;
        LSHostPropertyMapHolder full;
        Check("GetItemBasicProps", m_filter->GetItemBasicProps(index, basic.Interface()));
        Check("SetItemProperties", m_filter->SetItemProperties(index, full.Interface()));
    }
    m_refreshMs = refreshed - start;
    m_itemsMs = WallMilliseconds() - refreshed;
    return count;
}

unsigned long ComponentPass::Requests()
{
    IKOVAPassFiguresPtr figures;
    Check("QueryInterface(IKOVAPassFigures)", m_filter.QueryInterface(__uuidof(IKOVAPassFigures), &figures));
    ULONG requests = 0;
    Check("GetLastUpdateRequests", figures->GetLastUpdateRequests(&requests));
    return requests;
}
