#pragma once
// The platform object under LSHttpRequest: WinHTTP (the default) or MSXML's
// XMLHTTP (KOVA.Http.Client "XMLHTTP"). One object serves one exchange; a
// repeated attempt gets a new one.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVACommon/http/ILSResponse.h"

#include <cstdint>
#include <string>

class ILSPlatformRequest : public ILSResponse
{
public:
    virtual ~ILSPlatformRequest() = default;

    virtual HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async, const _variant_t& user,
                         const _variant_t& password) = 0;
    virtual HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) = 0;
    // Platform failures raise the COM error exception.
    virtual void Send(const _variant_t& body) = 0;
    // 4 once the exchange has ended (answered or failed), 3 while an answer
    // arrives, less before.
    virtual long ReadyState() = 0;
    // Once ended: a failure the platform reported for the exchange (refused
    // connection, failed TLS handshake, broken body) as a named error line
    // and the COM error exception.
    virtual void ThrowIfExchangeFailed(const std::wstring& url) = 0;

    // Bytes of the body received, read without copying it where the platform allows.
    virtual uint64_t ResponseBodyLength() = 0;
};
