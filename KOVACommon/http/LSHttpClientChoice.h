#pragma once
// Which platform object carries the component's requests: KOVA.Http.Client,
// "WinHTTP" (the default) or "XMLHTTP", read once per process. WinHTTP is
// used with redirects switched off, so the bearer token
// never follows a redirect, and it reports refused connections and failed TLS
// handshakes at once. XMLHTTP is the fallback for networks whose proxy only
// it passes; it follows redirects by itself, with every header.
#include <string>

enum class LSHttpClient
{
    WinHttp,
    XmlHttp,
};

namespace LSHttpClientChoice {

LSHttpClient Configured();
const wchar_t* Name(LSHttpClient client);

} // namespace LSHttpClientChoice
