#include "KOVACommon/http/LSHttpClientChoice.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSOnceValue.h"
#include "QuorvalCommon/LSSetting.h"

namespace LSHttpClientChoice {

namespace {

const wchar_t* const ClientSetting = L"KOVA.Http.Client";
const wchar_t* const WinHttpName = L"WinHTTP";
const wchar_t* const XmlHttpName = L"XMLHTTP";

LSOnceValue<LSHttpClient>& Cached()
{
    static LSOnceValue<LSHttpClient> instance;
    return instance;
}

// An unknown value keeps the client that never lets the token follow a redirect.
LSHttpClient Read()
{
    const CStdStr value = LSSetting::GetInstance().GetUserStringConfigDetails(ClientSetting, WinHttpName).value;
    if (value.EqualsNoCase(XmlHttpName))
        return LSHttpClient::XmlHttp;
    if (!value.empty() && !value.EqualsNoCase(WinHttpName))
    {
        LS_ERROR_LOG << "Unknown KOVA.Http.Client value \"" << ToLogText(value)
                     << "\": expected \"WinHTTP\" or \"XMLHTTP\"; WinHTTP used";
    }
    return LSHttpClient::WinHttp;
}

} // namespace

LSHttpClient Configured()
{
    return Cached().Get(Read);
}

const wchar_t* Name(LSHttpClient client)
{
    return client == LSHttpClient::XmlHttp ? XmlHttpName : WinHttpName;
}

} // namespace LSHttpClientChoice
