// The user-agent text web requests send: resource string 6247 formatted with
// the short product version, composed once per process.
#include "QuorvalCommon/LSResourceLibraries.h"

#include "KOVAVersion.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSResourceLibrariesDetail.h"
#include "QuorvalCommon/LSSetting.h"

#include <mutex>
#include <optional>

namespace LSResourceLibraries {
namespace {

constexpr uint32_t kUserAgentFormatId = 6247;
static_assert(sizeof(KOVA_SHORT_VERSION_TEXT) - 1 <= 15, "the short version text has at most 15 characters");

std::mutex g_userAgentLock;
std::optional<CStdStr> g_userAgent;

CStdStr ComposeUserAgent()
{
    if (LSSetting::GetInstance().Read(LSSettingTable::UseUserAgent).value == 0)
        return CStdStr();
    const std::wstring version = MultiByteToWide(KOVA_SHORT_VERSION_TEXT, CP_ACP);
    const CStdStr format = LoadResourceString(kUserAgentFormatId);
    // The format comes from an external library: never let it read arguments
    // that are not there.
    if (!detail::IsSafeUserAgentFormat(format))
    {
        LS_ERROR_LOG << "User agent format rejected: " << ToLogText(format);
        return CStdStr();
    }
    return CStdStr::Format(format.c_str(), version.c_str());
}

} // namespace

CStdStr GetUserAgent()
{
    std::lock_guard<std::mutex> lock(g_userAgentLock);
    if (!g_userAgent)
        g_userAgent = ComposeUserAgent();
    return *g_userAgent;
}

namespace detail {

bool IsSafeUserAgentFormat(const std::wstring& format)
{
    int stringConversions = 0;
    size_t i = 0;
    while ((i = format.find(L'%', i)) != std::wstring::npos)
    {
        const std::wstring conversion = format.substr(i + 1, 2);
        if (conversion.compare(0, 1, L"%") == 0)
        {
            i += 2;
            continue;
        }
        const bool shortForm = conversion.compare(0, 1, L"s") == 0;
        if (!shortForm && conversion != L"ls" && conversion != L"ws")
            return false;
        ++stringConversions;
        i += shortForm ? 2 : 3;
    }
    return stringConversions <= 1;
}

void ResetUserAgent()
{
    std::lock_guard<std::mutex> lock(g_userAgentLock);
    g_userAgent.reset();
}

} // namespace detail
} // namespace LSResourceLibraries
