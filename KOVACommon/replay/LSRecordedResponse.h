#pragma once
// A recorded answer, loaded from a response file.
#include "KOVACommon/http/ILSResponse.h"
#include "KOVACommon/http/LSResponseHeaders.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace LSRequestReplay {

using ResponseHeaders = LSResponseHeaders::Headers;

// One "name: value" line per header, then an empty line.
std::wstring FormatResponseHeaders(const ResponseHeaders& headers);

class LSRecordedResponse : public ILSResponse
{
public:
    _bstr_t ResponseHeader(const _bstr_t& name) override;
    _bstr_t AllResponseHeaders() override;
    long Status() override;
    _bstr_t StatusText() override;
    _variant_t ResponseBody() override;
    _variant_t ResponseStream() override;
    _bstr_t ResponseText() override;
    IDispatchPtr ResponseXML() override;

    uint32_t status = 0;
    std::wstring statusText;
    ResponseHeaders headers;
    _variant_t body;

    // Throws the recorded LSHttpError for an error-form file; E_FAIL for a
    // file of neither form.
    static void ReadFromFile(const std::wstring& path, LSRecordedResponse& answer);

private:
    bool BodyIsByteArray() const;
    void Clear();
    void LoadSuccess(const std::wstring& text, const std::string& body);
};

} // namespace LSRequestReplay
