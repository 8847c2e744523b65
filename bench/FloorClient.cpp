#include "FloorClient.h"

#include "KOVACommon/xml/MsxmlPtrs.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/hresult_exception.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

class ExchangeFileReader
{
public:
    explicit ExchangeFileReader(std::string text) : m_text(std::move(text)) {}
    bool AtEnd() const { return m_at >= m_text.size(); }

    std::string Line()
    {
        const size_t end = m_text.find('\n', m_at);
        if (end == std::string::npos)
            throw std::runtime_error("exchanges file: line without end");
        std::string line = m_text.substr(m_at, end - m_at);
        m_at = end + 1;
        return line;
    }

    std::wstring WideLine() { return MultiByteToWide(Line(), CP_UTF8); }
    size_t Number() { return static_cast<size_t>(std::stoul(Line())); }

    std::wstring Body(size_t bytes)
    {
        if (m_text.size() - m_at < bytes + 1 || m_text[m_at + bytes] != '\n')
            throw std::runtime_error("exchanges file: body shorter than announced");
        const std::string body = m_text.substr(m_at, bytes);
        m_at += bytes + 1;
        return MultiByteToWide(body, CP_UTF8);
    }

private:
    std::string m_text;
    size_t m_at = 0;
};

std::string ReadAll(const std::wstring& file)
{
    std::ifstream stream(file.c_str(), std::ios::binary);
    if (!stream)
        throw std::runtime_error("cannot open the exchanges file");
    std::ostringstream content;
    content << stream.rdbuf();
    return content.str();
}

bool Answered200(const CLSID& classId, const std::wstring& url, const Exchange& exchange)
{
    IXMLHTTPRequestPtr request;
    ThrowIfFailedCom(CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IXMLHTTPRequest,
                                      reinterpret_cast<void**>(&request)));
    const _variant_t missing(DISP_E_PARAMNOTFOUND, VT_ERROR);
    ThrowIfFailedCom(request->open(_bstr_t(L"POST"), _bstr_t(url.c_str()), _variant_t(false), missing, missing));
    for (const auto& header : exchange.headers)
        ThrowIfFailedCom(request->setRequestHeader(_bstr_t(header.first.c_str()), _bstr_t(header.second.c_str())));
    ThrowIfFailedCom(request->send(_variant_t(exchange.body.c_str())));
    long status = 0;
    ThrowIfFailedCom(request->get_status(&status));
    return status == 200;
}

} // namespace

std::vector<Exchange> ReadExchanges(const std::wstring& file)
{
    ExchangeFileReader reader(ReadAll(file));
    std::vector<Exchange> exchanges;
    while (!reader.AtEnd())
    {
        Exchange exchange;
        exchange.path = reader.WideLine();
        for (size_t count = reader.Number(); count != 0; --count)
        {
            std::wstring name = reader.WideLine();
            exchange.headers.emplace_back(std::move(name), reader.WideLine());
        }
        exchange.body = reader.Body(reader.Number());
        exchanges.push_back(std::move(exchange));
    }
    return exchanges;
}

unsigned RunFloorPass(const std::wstring& root, const std::vector<Exchange>& exchanges)
{
    CLSID classId;
    ThrowIfFailedCom(CLSIDFromProgID(L"msxml2.XMLHTTP", &classId));
    unsigned answered = 0;
    for (const Exchange& exchange : exchanges)
        if (Answered200(classId, root + exchange.path, exchange))
            ++answered;
    return answered;
}
