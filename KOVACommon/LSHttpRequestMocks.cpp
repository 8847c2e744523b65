#include "LSHttpRequestMocks.h"

#include "hresult_exception.h"

namespace LSHttpRequestMocks {

LSHttpRequestUnavailable::LSHttpRequestUnavailable() { ThrowHr(E_NOTIMPL); }
void LSHttpRequestUnavailable::Configure(const std::wstring&) { ThrowHr(E_NOTIMPL); }
HRESULT LSHttpRequestUnavailable::Open(const _bstr_t&, const _bstr_t&, const _variant_t&, const _variant_t&,
                                       const _variant_t&) { return E_NOTIMPL; }
HRESULT LSHttpRequestUnavailable::SetRequestHeader(const _bstr_t&, const _bstr_t&) { return E_NOTIMPL; }
_bstr_t LSHttpRequestUnavailable::GetResponseHeader(const _bstr_t&) { ThrowHr(E_NOTIMPL); }
_bstr_t LSHttpRequestUnavailable::GetAllResponseHeaders() { ThrowHr(E_NOTIMPL); }
_bstr_t LSHttpRequestUnavailable::GetRequestHeader(const _bstr_t&) { ThrowHr(E_NOTIMPL); }
_variant_t LSHttpRequestUnavailable::GetResponseBody() { ThrowHr(E_NOTIMPL); }
_variant_t LSHttpRequestUnavailable::GetResponseStream() { ThrowHr(E_NOTIMPL); }
_bstr_t LSHttpRequestUnavailable::GetResponseText() { ThrowHr(E_NOTIMPL); }
IDispatchPtr LSHttpRequestUnavailable::GetResponseXML() { ThrowHr(E_NOTIMPL); }
long LSHttpRequestUnavailable::GetStatus() { ThrowHr(E_NOTIMPL); }
_bstr_t LSHttpRequestUnavailable::GetStatusText() { ThrowHr(E_NOTIMPL); }
void LSHttpRequestUnavailable::PerformAsyncVariantSend(const std::wstring&, const _variant_t&, bool,
                                                       ILSShutdownInformerPtr&, bool, bool, bool)
{
    ThrowHr(E_NOTIMPL);
}

} // namespace LSHttpRequestMocks
