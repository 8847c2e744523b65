#include "KOVACommon/replay/LSHttpRequestRecorder.h"

#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/replay/LSRecordedResponse.h"
#include "KOVACommon/replay/LSRecordingFiles.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace LSRequestReplay {

namespace {

std::string ByteArrayBody(const std::wstring& path, SAFEARRAY* array)
{
    const UINT dimensions = SafeArrayGetDim(array);
    const UINT elementSize = SafeArrayGetElemsize(array);
    LONG lowerBound = 0;
    LONG upperBound = -1;
    ThrowIfFailedCom(SafeArrayGetLBound(array, 1, &lowerBound));
    ThrowIfFailedCom(SafeArrayGetUBound(array, 1, &upperBound));
    const size_t count = static_cast<size_t>(upperBound - lowerBound + 1);
    LS_DIAG_LOG << "Download file, SafeArray dimension ->" << dimensions << ", size of each element -> "
                << elementSize << " Amount to write->" << count * elementSize;
    LS_DIAG_LOG << "lBound = " << lowerBound << ", elementCount = " << count;
    (void)path;
    const SafeArrayData data(array);
    return std::string(static_cast<const char*>(data.Get()), count * elementSize);
}

void WriteBody(std::FILE* file, const std::wstring& path, const _variant_t& body)
{
    std::string bytes;
    const char* shortWrite = "Trying to write file from downloaded document only wrote ";
    if (body.vt == VT_EMPTY)
        return;
    if (body.vt == (VT_ARRAY | VT_UI1) && body.parray && SafeArrayGetDim(body.parray) == 1)
        bytes = ByteArrayBody(path, body.parray);
    else if (body.vt == VT_BSTR)
    {
        bytes = WideToMultiByte(CStdStr::FromBSTR(body.bstrVal), CP_UTF8);
        shortWrite = "Trying to write file only wrote ";
    }
    else
    {
        LS_ERROR_LOG << "Unexpected return: " << LogHex(E_FAIL);
        ThrowHr(E_FAIL);
    }
    const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    if (written != bytes.size())
    {
        LS_ERROR_LOG << shortWrite << written << "< not >" << bytes.size();
        ThrowHr(E_FAIL);
    }
}

} // namespace

void LSHttpRequestRecorder::Configure(const std::wstring& configuration)
{
    LSReplayRequestBase::Configure(configuration);
}

HRESULT LSHttpRequestRecorder::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async,
                                    const _variant_t& user, const _variant_t& password)
{
    StoreOpen(method, url);
    return LSHttpRequest::Open(method, url, async, user, password);
}

HRESULT LSHttpRequestRecorder::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    LSReplayRequestBase::SetRequestHeader(name, value);
    return LSHttpRequest::SetRequestHeader(name, value);
}

_bstr_t LSHttpRequestRecorder::GetRequestHeader(const _bstr_t& name)
{
    return LSHttpRequest::GetRequestHeader(name);
}

void LSHttpRequestRecorder::WriteErrorResponse(const std::wstring& path, const std::wstring& errorText)
{
    WriteWholeFile(path, WideToMultiByte(L"!!!HttpError!!!\n" + errorText, CP_UTF8));
}

void LSHttpRequestRecorder::WriteSuccessResponse(const std::wstring& path)
{
    ILSPlatformRequest& platform = Platform();
    const long status = platform.Status();
    const _bstr_t statusText = platform.StatusText();
    const _bstr_t headerText = platform.AllResponseHeaders();
    const _variant_t body = platform.ResponseBody();

    const std::wstring text = CStdStr::Format(L"HTTP/1.1 %ld ", status) + CStdStr(statusText) + L"\n" +
                              FormatResponseHeaders(LSResponseHeaders::Parse(CStdStr(headerText)));
    UniqueFile file = OpenForWriting(path);
    WriteBytes(file.get(), path, WideToMultiByte(text, CP_UTF8));
    WriteBody(file.get(), path, body);
    CloseWritten(file, path);
}

void LSHttpRequestRecorder::StartSend(const std::wstring& url, const _variant_t& body)
{
    m_files = NextExchangeFiles();
    WriteWholeFile(m_files.request, RequestFileText());
    ReadRequestRecord(m_files.request);
    LSHttpRequest::StartSend(url, body);
}

void LSHttpRequestRecorder::FinishSend(const std::wstring& url, const LSAnswerChecks& checks)
{
    LSRecordedResponse scratch;
    try
    {
        LSHttpRequest::FinishSend(url, checks);
    }
    catch (const LSHttpError& error)
    {
        WriteErrorResponse(m_files.response, error.ToString());
        LSRecordedResponse::ReadFromFile(m_files.response, scratch);
        throw;
    }
    WriteSuccessResponse(m_files.response);
    LSRecordedResponse::ReadFromFile(m_files.response, scratch);
}

} // namespace LSRequestReplay
