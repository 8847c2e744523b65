#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"

#include "KOVACommon/http/LSSecureAddress.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSAutoGroupSource.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsUnifiedGroups.h"
#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphUnifiedGroups.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"

namespace {

const wchar_t* const BackendSetting = L"KOVAUnifiedGroups.Backend";
const wchar_t* const AutoBackend = L"Auto";
const wchar_t* const ServiceRootSetting = L"KOVAUnifiedGroups.Resource";
const wchar_t* const GraphRootSetting = L"KOVAUnifiedGroups.GraphRoot";

// Over EWS no group waits: a group without the resource fails the pass.
LSGroupSource::GroupList AsGroupList(std::vector<LSGroupSource::Group> groups)
{
    return {std::move(groups), {}};
}

LSGroupSource::GroupList AsGroupList(LSGroupSource::GroupList list)
{
    return list;
}

// One service's client over the settings. The client is made when it is
// asked, so a service that is never asked never creates its token library
// object.
template <typename Client>
class LSServiceGroupSource : public LSGroupSource
{
public:
    using Root = std::wstring LSGroupSourceSettings::*;
    LSServiceGroupSource(const LSGroupSourceSettings& settings, Root root, const wchar_t* service)
        : m_settings(settings), m_root(root), m_service(service)
    {
    }

    GroupList GetCurrentGroups(ILSShutdownInformerPtr& shutdownInformer) override
    {
        // Tokens for the cloud the root lies in.
        Client client(m_settings.clientId, m_settings.cacheFilePath,
                      LSGetAuthTokens::ScopeForRoot(m_settings.*m_root));
        return AsGroupList(client.GetCurrentGroups(m_settings.*m_root, m_settings.resourceName, shutdownInformer));
    }
    std::wstring Service() const override { return m_service; }

private:
    LSGroupSourceSettings m_settings;
    Root m_root;
    const wchar_t* m_service;
};

std::unique_ptr<LSGroupSource> EwsSource(const LSGroupSourceSettings& settings)
{
    return std::make_unique<LSServiceGroupSource<LSEwsUnifiedGroups>>(
        settings, &LSGroupSourceSettings::ewsServiceRoot, LSGroupSource::EwsService);
}

std::unique_ptr<LSGroupSource> GraphSource(const LSGroupSourceSettings& settings)
{
    return std::make_unique<LSServiceGroupSource<LSGraphUnifiedGroups>>(settings, &LSGroupSourceSettings::graphRoot,
                                                                        LSGroupSource::GraphService);
}

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
    // Every root the pass may send the token to, before any token is asked
    // for. (An empty one fails in its client, before any request.)
    if (kind != Kind::Graph && !settings.ewsServiceRoot.empty())
        LSSecureAddress::Require(settings.ewsServiceRoot, ServiceRootSetting);
    if (kind != Kind::Ews && !settings.graphRoot.empty())
        LSSecureAddress::Require(settings.graphRoot, GraphRootSetting);
    switch (kind)
    {
    case Kind::Ews:
        return EwsSource(settings);
    case Kind::Graph:
        return GraphSource(settings);
    case Kind::Auto:
        break;
    }
    return std::make_unique<LSAutoGroupSource>(EwsSource(settings), GraphSource(settings));
}
