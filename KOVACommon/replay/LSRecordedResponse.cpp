#include "KOVACommon/replay/LSRecordedResponse.h"

#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/replay/LSRecordingFiles.h"
#include "KOVACommon/xml/LSXmlDocument.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LogLongText.h"
#include "QuorvalCommon/hresult_exception.h"

#include <limits>
#include <sstream>

namespace LSRequestReplay {

namespace {

const std::wstring SuccessMarker = L"HTTP/1.1 ";
const std::wstring ErrorMarker = L"!!!HttpError!!!";

bool StartsWith(const std::wstring& text, const std::wstring& start)
{
    return text.compare(0, start.size(), start) == 0;
}

_variant_t ByteArray(const std::string& bytes)
{
    // A byte array counts its elements in 32 bits.
    if (bytes.size() > std::numeric_limits<ULONG>::max())
    {
        LS_ERROR_LOG << "Recorded response body too large: " << bytes.size() << " bytes";
        ThrowHr(E_FAIL);
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array)
        ThrowHr(E_OUTOFMEMORY);
    _variant_t value;
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = array;
    const SafeArrayData data(array);
    memcpy(data.Get(), bytes.data(), bytes.size());
    return value;
}

[[noreturn]] void ThrowRecordedError(const std::wstring& text)
{
    const std::wstring errorText = text.substr(ErrorMarker.size());
    LS_DIAG_LOG << "Loaded http error, throwing " << ToLogText(errorText);
    throw LSHttpError::FromString(errorText);
}

} // namespace

ResponseHeaders ParseResponseHeaders(const std::wstring& text)
{
    ResponseHeaders headers;
    std::wistringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line, L'\n'))
    {
        while (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.empty())
            break;
        const size_t colon = line.find(L':');
        std::wstring name = line.substr(0, colon);
        std::wstring value = colon == std::wstring::npos ? std::wstring() : line.substr(colon + 1);
        if (!value.empty() && value.front() == L' ')
            value.erase(0, 1);
        headers.emplace_back(std::move(name), std::move(value));
    }
    return headers;
}

std::wstring FormatResponseHeaders(const ResponseHeaders& headers)
{
    std::wstring text;
    for (const auto& header : headers)
        text += header.first + L": " + header.second + L"\n";
    return text + L"\n";
}

void LSRecordedResponse::Clear()
{
    status = 0;
    statusText.clear();
    headers.clear();
    body.Clear();
}

void LSRecordedResponse::LoadSuccess(const std::wstring& text, const std::string& bodyBytes)
{
    const size_t lineEnd = text.find(L'\n');
    std::wistringstream statusLine(text.substr(0, lineEnd));
    std::wstring protocol;
    statusLine >> protocol >> status;
    std::getline(statusLine, statusText);
    statusText.erase(0, statusText.find_first_not_of(L' '));
    while (!statusText.empty() && statusText.back() == L'\r')
        statusText.pop_back();
    if (lineEnd != std::wstring::npos)
        headers = ParseResponseHeaders(text.substr(lineEnd + 1));
    if (!bodyBytes.empty())
        body = ByteArray(bodyBytes);
}

void LSRecordedResponse::ReadFromFile(const std::wstring& path, LSRecordedResponse& answer)
{
    answer.Clear();
    std::string bytes;
    ReadBinaryFile(path, bytes);
    const size_t pair = bytes.find("\n\n");
    const size_t textEnd = pair == std::string::npos ? bytes.size() : pair + 2;
    const std::wstring text = MultiByteToWide(bytes.substr(0, textEnd), CP_UTF8);
    if (StartsWith(text, SuccessMarker))
        return answer.LoadSuccess(text, bytes.substr(textEnd));
    // The error form has no body: all of it is the error's text, even when
    // the message holds an empty line.
    if (StartsWith(text, ErrorMarker))
        ThrowRecordedError(MultiByteToWide(bytes, CP_UTF8));
    LS_ERROR_LOG << "Unexpected text header in recording";
    LS_LOG_LONG_ERROR(text);
    ThrowHr(E_FAIL);
}

_bstr_t LSRecordedResponse::ResponseHeader(const _bstr_t& name)
{
    if (headers.empty())
        ThrowHr(E_FAIL);
    const CStdStr wanted(name);
    for (const auto& header : headers)
        if (wanted.EqualsNoCase(header.first))
            return _bstr_t(header.second.c_str());
    return _bstr_t();
}

_bstr_t LSRecordedResponse::AllResponseHeaders()
{
    if (headers.empty())
        ThrowHr(E_FAIL);
    return _bstr_t(FormatResponseHeaders(headers).c_str());
}

_variant_t LSRecordedResponse::ResponseBody()
{
    if (headers.empty())
        ThrowHr(E_PENDING);
    return body;
}

bool LSRecordedResponse::BodyIsByteArray() const
{
    return body.vt == (VT_ARRAY | VT_UI1) && body.parray &&
           SafeArrayGetDim(body.parray) == 1;
}

_variant_t LSRecordedResponse::ResponseStream()
{
    if (body.vt == VT_EMPTY || BodyIsByteArray())
        return body;
    LS_ERROR_LOG << "Only expecting array of bytes for response stream ";
    ThrowHr(E_NOTIMPL);
}

_bstr_t LSRecordedResponse::ResponseText()
{
    if (!BodyIsByteArray())
        return _bstr_t(L"");
    SAFEARRAY* array = body.parray;
    const SafeArrayData data(array);
    const std::string bytes(static_cast<const char*>(data.Get()), array->rgsabound[0].cElements);
    // With its length: a body may hold NUL characters.
    return CStdStr(MultiByteToWide(bytes, CP_UTF8)).ToBstr();
}

IDispatchPtr LSRecordedResponse::ResponseXML()
{
    return IDispatchPtr(LSXmlDocument::CreateDOMDocument(CStdStr(ResponseText())));
}

long LSRecordedResponse::Status()
{
    return static_cast<long>(status);
}

_bstr_t LSRecordedResponse::StatusText()
{
    return _bstr_t(statusText.c_str());
}

} // namespace LSRequestReplay
