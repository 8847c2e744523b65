#include "FloorClient.h"

#include "BenchFailure.h"
#include "MsxmlPtrs.h"

FloorClient::FloorClient(const std::wstring& serverRoot, std::vector<RecordedExchange> exchanges)
    : m_serverRoot(serverRoot), m_exchanges(std::move(exchanges))
{
    while (!m_serverRoot.empty() && m_serverRoot.back() == L'/')
        m_serverRoot.pop_back();
    CheckStep(L"CLSIDFromProgID(msxml2.XMLHTTP)", CLSIDFromProgID(L"msxml2.XMLHTTP", &m_classId));
}

void FloorClient::RunPass() const
{
    for (const RecordedExchange& exchange : m_exchanges)
        Exchange(exchange);
}

void FloorClient::Exchange(const RecordedExchange& exchange) const
{
    IXMLHTTPRequestPtr request;
    CheckStep(L"CoCreateInstance(msxml2.XMLHTTP)",
              CoCreateInstance(m_classId, nullptr, CLSCTX_ALL, IID_IXMLHTTPRequest,
                               reinterpret_cast<void**>(&request)));
    const _variant_t missing(DISP_E_PARAMNOTFOUND, VT_ERROR);
    const std::wstring url = m_serverRoot + exchange.path;
    CheckStep(L"open", request->open(_bstr_t(exchange.method.c_str()), _bstr_t(url.c_str()), _variant_t(false),
                                     missing, missing));
    for (const auto& header : exchange.headers)
        CheckStep(L"setRequestHeader",
                  request->setRequestHeader(_bstr_t(header.first.c_str()), _bstr_t(header.second.c_str())));
    CheckStep(L"send", request->send(_variant_t(exchange.body.c_str())));
    long status = 0;
    CheckStep(L"status", request->get_status(&status));
    if (status != 200)
        throw BenchFailure{L"floor answer status", HRESULT_FROM_WIN32(ERROR_BAD_NET_RESP)};
}
