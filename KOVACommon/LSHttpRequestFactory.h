#pragma once
// The process's one request factory: every web-service request is built here,
// the platform's or, in a test runner, a recording or replaying one. The one
// place that knows both http/ and replay/.
#include "KOVACommon/http/ILSHttpRequest.h"
#include "KOVACommon/http/LSHttpRequest.h"
#include "KOVACommon/replay/LSRequestReplay.h"
#include "QuorvalCommon/LSComponentFactory.h"
#include "QuorvalCommon/LSSettingTable.h"

#include <string>

template <>
struct LSComponentTraits<ILSHttpRequest>
{
    static constexpr const LSNumberSetting& KindSetting = LSSettingTable::RequestReplay;
    static constexpr const LSTextSetting& ConfigurationSetting = LSSettingTable::RequestReplayConfig;
};

class LSHttpRequestFactory
    : public LSComponentFactoryT<ILSHttpRequest, LSHttpRequest, LSRequestReplay::LSHttpRequestRecorder,
                                 LSRequestReplay::LSHttpRequestPlayback>
{
public:
    // A new request from the process's factory, opened asynchronously for
    // the method and address, with the SOAP content type when asked. The
    // exchange (CLSBaseWS::Exchange) takes it through an opener.
    static ILSHttpRequestPtr OpenRequest(const std::wstring& url, const std::wstring& method,
                                         bool setSoapContentType);
};

// Created on first use, kept until the module unloads.
const LSHttpRequestFactory& GetHttpRequestFactory();
