#include "LSGroupSource.h"

#include "CStdStr.h"
#include "LSAutoGroupSource.h"
#include "LSGraphUnifiedGroups.h"
#include "LSLog.h"
#include "LSSetting.h"
#include "hresult_exception.h"

namespace {

const wchar_t* const BackendSetting = L"KOVAUnifiedGroups.Backend";
const wchar_t* const AutoBackend = L"Auto";

// Each client is made when it is asked, so a service that is never asked
// never creates its token library object.
class LSEwsGroupSource : public LSGroupSource
{
public:
    explicit LSEwsGroupSource(const LSGroupSourceSettings& settings) : m_settings(settings) {}

    std::vector<Group> GetCurrentGroups(ILSShutdownInformerPtr& shutdownInformer) override
    {
        LSUnifiedGroups client(m_settings.clientId, m_settings.cacheFilePath);
        return client.GetCurrentGroups(m_settings.ewsServiceRoot, m_settings.resourceName, shutdownInformer);
    }
    std::wstring Service() const override { return EwsService; }

private:
    LSGroupSourceSettings m_settings;
};

class LSGraphGroupSource : public LSGroupSource
{
public:
    explicit LSGraphGroupSource(const LSGroupSourceSettings& settings) : m_settings(settings) {}

    std::vector<Group> GetCurrentGroups(ILSShutdownInformerPtr& shutdownInformer) override
    {
        LSGraphUnifiedGroups client(m_settings.clientId, m_settings.cacheFilePath);
        return client.GetCurrentGroups(m_settings.graphRoot, m_settings.resourceName, shutdownInformer);
    }
    std::wstring Service() const override { return GraphService; }

private:
    LSGroupSourceSettings m_settings;
};

} // namespace

LSGroupSource::Kind LSGroupSource::ConfiguredKind()
{
    const CStdStr backend = LSSetting::GetInstance().GetUserStringConfigDetails(BackendSetting, AutoBackend).value;
    if (backend.EqualsNoCase(AutoBackend))
        return Kind::Auto;
    if (backend.EqualsNoCase(EwsService))
        return Kind::Ews;
    if (backend.EqualsNoCase(GraphService))
        return Kind::Graph;
    LS_ERROR_LOG << "Unknown KOVAUnifiedGroups.Backend value \"" << ToLogText(backend)
                 << "\": expected \"Auto\", \"EWS\" or \"Graph\"";
    throw hresult_exception(E_INVALIDARG, "KOVAUnifiedGroups.Backend");
}

std::unique_ptr<LSGroupSource> LSGroupSource::Create(Kind kind, const LSGroupSourceSettings& settings)
{
    switch (kind)
    {
    case Kind::Ews:
        return std::make_unique<LSEwsGroupSource>(settings);
    case Kind::Graph:
        return std::make_unique<LSGraphGroupSource>(settings);
    case Kind::Auto:
        break;
    }
    return std::make_unique<LSAutoGroupSource>(std::make_unique<LSEwsGroupSource>(settings),
                                               std::make_unique<LSGraphGroupSource>(settings));
}
