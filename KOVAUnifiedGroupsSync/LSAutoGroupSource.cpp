#include "LSAutoGroupSource.h"

#include "CStdStr.h"
#include "LSListingRefused.h"
#include "LSLog.h"
#include "LSSetting.h"

#include <mutex>
#include <optional>

namespace {

struct RememberedService
{
    std::mutex mutex;
    std::optional<std::wstring> service;
};

RememberedService& Remembered()
{
    static RememberedService instance;
    return instance;
}

// Read from the user's settings on first use. Nothing saved, or anything but
// "Graph", means EWS: the service a user starts with.
std::wstring& RememberedLocked(RememberedService& remembered)
{
    if (!remembered.service)
    {
        const CStdStr saved =
            LSSetting::GetInstance().GetUserStringConfigDetails(LSAutoGroupSource::RememberedSetting, L"").value;
        remembered.service = saved.EqualsNoCase(LSGroupSource::GraphService) ? LSGroupSource::GraphService
                                                                             : LSGroupSource::EwsService;
    }
    return *remembered.service;
}

std::wstring RememberedServiceName()
{
    RememberedService& remembered = Remembered();
    std::lock_guard<std::mutex> lock(remembered.mutex);
    return RememberedLocked(remembered);
}

// Saved only when it changes, so a steady state (and a user who never left
// EWS) writes nothing.
void Remember(const std::wstring& service)
{
    RememberedService& remembered = Remembered();
    std::lock_guard<std::mutex> lock(remembered.mutex);
    std::wstring& current = RememberedLocked(remembered);
    if (current == service)
        return;
    current = service;
    LSSetting::GetInstance().SaveUserString(LSAutoGroupSource::RememberedSetting, service, L"");
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

std::vector<LSAutoGroupSource::Group> LSAutoGroupSource::GetCurrentGroups(ILSShutdownInformerPtr& shutdownInformer)
{
    const bool graphFirst = RememberedServiceName() == GraphService;
    LSGroupSource& first = graphFirst ? *m_graph : *m_ews;
    LSGroupSource& second = graphFirst ? *m_ews : *m_graph;
    try
    {
        return Ask(first, shutdownInformer);
    }
    catch (const LSListingRefused& refusal)
    {
        LogRefusal(first, refusal);
    }
    LS_ERROR_LOG << "Asking " << DisplayName(second.Service()) << " for the group list instead";
    try
    {
        return Ask(second, shutdownInformer);
    }
    catch (const LSListingRefused& refusal)
    {
        LogRefusal(second, refusal);
        throw;
    }
}

std::vector<LSAutoGroupSource::Group> LSAutoGroupSource::Ask(LSGroupSource& source,
                                                             ILSShutdownInformerPtr& shutdownInformer)
{
    std::vector<Group> groups = source.GetCurrentGroups(shutdownInformer);
    m_service = source.Service();
    Remember(m_service);
    return groups;
}

void LSAutoGroupSource::ForgetRememberedForTest()
{
    RememberedService& remembered = Remembered();
    std::lock_guard<std::mutex> lock(remembered.mutex);
    remembered.service.reset();
}
