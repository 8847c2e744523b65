#pragma once
// An answer as the exchange reads it: status, headers and body. The platform
// objects serve it from the wire, playback from a recording.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"

class ILSResponse
{
public:
    virtual ~ILSResponse() = default;

    // Null when the answer has no such header.
    virtual _bstr_t ResponseHeader(const _bstr_t& name) = 0;
    virtual _bstr_t AllResponseHeaders() = 0;
    virtual long Status() = 0;
    virtual _bstr_t StatusText() = 0;
    virtual _variant_t ResponseBody() = 0;
    virtual _variant_t ResponseStream() = 0;
    virtual _bstr_t ResponseText() = 0;
    virtual IDispatchPtr ResponseXML() = 0;
};
