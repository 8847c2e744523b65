#include "KOVACommon/http/LSHttpClientChoice.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSOnceValue.h"
#include "QuorvalCommon/LSSetting.h"

namespace LSHttpClientChoice {

namespace {

// In the order of the table's choices.
const wchar_t* const WinHttpName = LSSettingTable::HttpClientChoices[0];
const wchar_t* const XmlHttpName = LSSettingTable::HttpClientChoices[1];

LSOnceValue<LSHttpClient>& Cached()
{
    static LSOnceValue<LSHttpClient> instance;
    return instance;
}

// An unknown value keeps the client that never lets the token follow a redirect.
LSHttpClient Read()
{
    const CStdStr value = LSSetting::GetInstance().Read(LSSettingTable::HttpClient).value;
    if (value.EqualsNoCase(XmlHttpName))
        return LSHttpClient::XmlHttp;
    if (!value.empty() && !value.EqualsNoCase(WinHttpName))
    {
        LS_ERROR_LOG << "Unknown " << ToLogText(LSSettingTable::HttpClient.name) << " value \"" << ToLogText(value)
                     << "\": expected " << LSSetting::ChoicesText(LSSettingTable::HttpClient.choices)
                     << "; " << ToLogText(WinHttpName) << " used";
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
