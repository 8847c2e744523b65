#include "KOVAUnifiedGroupsSync/GroupSources/LSAutoGroupSource.h"

#include "KOVAUnifiedGroupsSync/GroupSources/LSListingRefused.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSListingTooLarge.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"

namespace {

// Read from the user's settings at every pass (one registry read), so a
// changed or deleted value counts from the next pass on. Nothing saved, or
// anything but "Graph", means EWS: the service a user starts with.
std::wstring RememberedService()
{
    const CStdStr saved = LSSetting::GetInstance().Read(LSSettingTable::AutoBackend).value;
    return saved.EqualsNoCase(LSGroupSource::GraphService) ? LSGroupSource::GraphService : LSGroupSource::EwsService;
}

// Saved only when it changes, so a steady state (and a user who never left
// EWS) writes nothing. The list is good either way: a failed save only means
// the next pass asks the other service first again.
void Remember(const std::wstring& remembered, const std::wstring& service)
{
    if (remembered == service)
        return;
    if (LSSetting::GetInstance().Save(LSSettingTable::AutoBackend, service))
        return;
    LS_ERROR_LOG << "Could not save " << ToLogText(LSSettingTable::AutoBackend.name) << " = \""
                 << ToLogText(service) << "\": the next pass asks " << ToLogText(remembered) << " first again";
}

const char* DisplayName(const std::wstring& service)
{
    return service == LSGroupSource::GraphService ? "Microsoft Graph" : "EWS";
}

void LogRefusal(const LSGroupSource& source, const LSListingRefused& refusal)
{
    const std::wstring reason = refusal.PolicyReason().empty() ? std::wstring() : L" (" + refusal.PolicyReason() + L")";
    LS_ERROR_LOG << "Group listing over " << DisplayName(source.Service()) << " refused with HTTP status "
                 << refusal.Status() << ToLogText(reason);
}

} // namespace

LSAutoGroupSource::LSAutoGroupSource(std::unique_ptr<LSGroupSource> ews, std::unique_ptr<LSGroupSource> graph)
    : m_ews(std::move(ews)), m_graph(std::move(graph))
{
}

LSAutoGroupSource::GroupList LSAutoGroupSource::GetCurrentGroups()
{
    const std::wstring remembered = RememberedService();
    const bool graphFirst = remembered == GraphService;
    LSGroupSource& first = graphFirst ? *m_graph : *m_ews;
    LSGroupSource& second = graphFirst ? *m_ews : *m_graph;
    try
    {
        return Ask(first, remembered);
    }
    catch (const LSListingRefused& refusal)
    {
        LogRefusal(first, refusal);
    }
    catch (const LSListingTooLarge&)
    {
        // More groups than EWS lists in one answer: the error line is out.
    }
    LS_ERROR_LOG << "Asking " << DisplayName(second.Service()) << " for the group list instead";
    try
    {
        return Ask(second, remembered);
    }
    catch (const LSListingRefused& refusal)
    {
        LogRefusal(second, refusal);
        throw;
    }
}

LSAutoGroupSource::GroupList LSAutoGroupSource::Ask(LSGroupSource& source, const std::wstring& remembered)
{
    GroupList groups = source.GetCurrentGroups();
    m_service = source.Service();
    Remember(remembered, m_service);
    return groups;
}
