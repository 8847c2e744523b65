#include "KOVACommon/LSHttpRequestFactory.h"

#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace {

const wchar_t SoapContentType[] = L"text/xml; charset=utf-8";

_variant_t MissingParameter()
{
    return _variant_t(DISP_E_PARAMNOTFOUND, VT_ERROR);
}

} // namespace

const LSHttpRequestFactory& GetHttpRequestFactory()
{
    static const LSHttpRequestFactory factory;
    return factory;
}

ILSHttpRequestPtr LSHttpRequestFactory::OpenRequest(const std::wstring& url, const std::wstring& method,
                                                    bool setSoapContentType)
{
    ILSHttpRequestPtr request = GetHttpRequestFactory().Create();
    LS_DIAG_LOG << "Opening address:" << ToLogText(url);
    ThrowIfFailedCom(request->Open(_bstr_t(method.c_str()), _bstr_t(url.c_str()), _variant_t(true),
                                   MissingParameter(), MissingParameter()));
    if (setSoapContentType)
        ThrowIfFailedCom(request->SetRequestHeader(L"Content-Type", SoapContentType));
    return request;
}
