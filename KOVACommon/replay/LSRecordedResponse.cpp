#include "KOVACommon/replay/LSRecordedResponse.h"

#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSResponseText.h"
#include "KOVACommon/replay/LSRecordingFiles.h"
#include "KOVACommon/xml/LSXmlDocument.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LogLongText.h"
#include "QuorvalCommon/hresult_exception.h"

#include <sstream>

namespace LSRequestReplay {

namespace {

const std::wstring SuccessMarker = L"HTTP/1.1 ";
const std::wstring ErrorMarker = L"!!!HttpError!!!";

bool StartsWith(const std::wstring& text, const std::wstring& start)
{
    return text.compare(0, start.size(), start) == 0;
}

[[noreturn]] void ThrowRecordedError(const std::wstring& text)
{
    const std::wstring errorText = text.substr(ErrorMarker.size());
    LS_DIAG_LOG << "Loaded http error, throwing " << ToLogText(errorText);
    throw LSHttpError::FromString(errorText);
}

} // namespace

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
        headers = LSResponseHeaders::Parse(text.substr(lineEnd + 1));
    if (!bodyBytes.empty())
        body = LSResponseText::ByteArray(bodyBytes);
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
    const std::wstring* value = LSResponseHeaders::Find(headers, CStdStr(name));
    return value ? _bstr_t(value->c_str()) : _bstr_t();
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
