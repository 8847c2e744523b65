#include "FilterPass.h"

#include "BenchFailure.h"
#include "LSHostPropertyMap.h"
#include "LSPropertyNames.h"

namespace {

const wchar_t* const FolderLocation = L"KOVAUnifiedGroups!Unified Groups";
const wchar_t* const Profile = L"Outlook";

ILSSyncFilter2Ptr CreateFilter(const std::wstring& progId)
{
    CLSID clsid{};
    CheckStep(L"CLSIDFromProgID", CLSIDFromProgID(progId.c_str(), &clsid));
    ILSSyncFilter2* filter = nullptr;
    CheckStep(L"CoCreateInstance", CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ILSSyncFilter2),
                                                    reinterpret_cast<void**>(&filter)));
    return ILSSyncFilter2Ptr(filter, false);
}

} // namespace

FilterPass::FilterPass(const std::wstring& progId) : m_informer(LSHostShutdownInformer::Create())
{
    try
    {
        m_filter = CreateFilter(progId);
        ILSNeedsShutdownInfoPtr needsInformer;
        if (SUCCEEDED(m_filter.QueryInterface(__uuidof(ILSNeedsShutdownInfo), &needsInformer)))
            CheckStep(L"SetShutdownInformer", needsInformer->SetShutdownInformer(m_informer->Interface()));
        CheckStep(L"SetCurrentProfileName", m_filter->SetCurrentProfileName(_bstr_t(Profile)));
    }
    catch (...)
    {
        m_filter = nullptr;
        m_informer->Release();
        throw;
    }
}

FilterPass::~FilterPass()
{
    m_filter = nullptr;
    m_informer->Release();
}

unsigned FilterPass::Run()
{
    LSHostPropertyMapHolder folder;
    folder->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation), FolderLocation);
    CheckStep(L"PreContentSyncFolderUpdate", m_filter->PreContentSyncFolderUpdate(folder.Interface()));
    USHORT count = 0;
    CheckStep(L"get_ItemCount", m_filter->get_ItemCount(&count));
    for (USHORT index = 0; index < count; ++index)
    {
        LSHostPropertyMapHolder basic;
        CheckStep(L"GetItemBasicProps", m_filter->GetItemBasicProps(index, basic.Interface()));
        LSHostPropertyMapHolder full;
        CheckStep(L"SetItemProperties", m_filter->SetItemProperties(index, full.Interface()));
    }
    return count;
}
