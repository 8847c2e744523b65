#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"

#include "KOVACommon/http/LSSecureAddress.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSAutoGroupSource.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsUnifiedGroups.h"
#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphUnifiedGroups.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"

#include <iterator>

namespace {

// The roots the sources send the token to, beside the filter's settings.
struct LSSourceSettings : LSGroupSourceSettings
{
    std::wstring ewsServiceRoot;
    std::wstring graphRoot;
};

// A root is read and checked here only, when its source is made. (An empty
// one fails in its client, before any request.)
std::wstring CheckedRoot(const LSTextSetting& setting)
{
    const std::wstring root = LSSetting::GetInstance().Read(setting).value;
    if (!root.empty())
        LSSecureAddress::Require(root, setting.name);
    return root;
}

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
    using Root = std::wstring LSSourceSettings::*;
    LSServiceGroupSource(const LSSourceSettings& settings, Root root, const wchar_t* service)
        : m_settings(settings), m_root(root), m_service(service)
    {
    }

    GroupList GetCurrentGroups() override
    {
        // Tokens for the cloud the root lies in.
        Client client(m_settings.clientId, m_settings.cacheFilePath,
                      LSGetAuthTokens::ScopeForRoot(m_settings.*m_root));
        return AsGroupList(client.GetCurrentGroups(m_settings.*m_root, m_settings.resourceName));
    }
    std::wstring Service() const override { return m_service; }

private:
    LSSourceSettings m_settings;
    Root m_root;
    const wchar_t* m_service;
};

std::unique_ptr<LSGroupSource> EwsSource(const LSSourceSettings& settings)
{
    return std::make_unique<LSServiceGroupSource<LSEwsUnifiedGroups>>(settings, &LSSourceSettings::ewsServiceRoot,
                                                                      LSGroupSource::EwsService);
}

std::unique_ptr<LSGroupSource> GraphSource(const LSSourceSettings& settings)
{
    return std::make_unique<LSServiceGroupSource<LSGraphUnifiedGroups>>(settings, &LSSourceSettings::graphRoot,
                                                                        LSGroupSource::GraphService);
}

} // namespace

LSGroupSource::Kind LSGroupSource::ConfiguredKind()
{
    // The kinds in the order the table lists the setting's choices.
    constexpr Kind kinds[] = {Kind::Auto, Kind::Ews, Kind::Graph};
    const LSSettingChoices& choices = LSSettingTable::Backend.choices;
    static_assert(std::size(kinds) == std::size(LSSettingTable::BackendChoices));
    const CStdStr backend = LSSetting::GetInstance().Read(LSSettingTable::Backend).value;
    for (size_t i = 0; i < choices.count; ++i)
    {
        if (backend.EqualsNoCase(choices.values[i]))
            return kinds[i];
    }
    LS_ERROR_LOG << "Unknown " << ToLogText(LSSettingTable::Backend.name) << " value \"" << ToLogText(backend)
                 << "\": expected " << LSSetting::ChoicesText(choices);
    throw hresult_exception(E_INVALIDARG, ToLogText(LSSettingTable::Backend.name));
}

std::unique_ptr<LSGroupSource> LSGroupSource::Create(Kind kind, const LSGroupSourceSettings& filterSettings)
{
    // Every root the pass may send the token to, before any token is asked for.
    LSSourceSettings settings{filterSettings, {}, {}};
    if (kind != Kind::Graph)
        settings.ewsServiceRoot = CheckedRoot(LSSettingTable::Resource);
    if (kind != Kind::Ews)
        settings.graphRoot = CheckedRoot(LSSettingTable::GraphRoot);
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
