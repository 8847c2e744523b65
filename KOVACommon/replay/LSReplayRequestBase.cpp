#include "KOVACommon/replay/LSReplayRequestBase.h"

#include "KOVACommon/replay/LSRecordingFiles.h"
#include "QuorvalCommon/LSLog.h"

#include <sstream>

namespace LSRequestReplay {

namespace {

uint32_t g_exchangeCount = 0;

std::wstring LastSegment(const std::wstring& text)
{
    const size_t slash = text.rfind(L'/');
    if (slash == std::wstring::npos || slash + 1 == text.size())
        return text;
    return text.substr(slash + 1);
}

} // namespace

uint32_t LSReplayRequestBase::ExchangeCount()
{
    return g_exchangeCount;
}

void LSReplayRequestBase::Configure(const std::wstring& configuration)
{
    m_configuration = configuration;
    ClearRecordingPrefix();
}

HRESULT LSReplayRequestBase::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    const CStdStr wanted = CStdStr(name);
    if (wanted.EqualsNoCase(L"soapaction"))
        m_action = LastSegment(CStdStr(value));
    for (auto& header : m_headers)
        if (CStdStr(header.first).EqualsNoCase(wanted))
        {
            header.second = value;
            return S_OK;
        }
    m_headers.emplace_back(name, value);
    return S_OK;
}

_bstr_t LSReplayRequestBase::GetRequestHeader(const _bstr_t& name)
{
    const CStdStr wanted = CStdStr(name);
    for (const auto& header : m_headers)
        if (CStdStr(header.first).EqualsNoCase(wanted))
            return header.second;
    return _bstr_t();
}

void LSReplayRequestBase::StoreOpen(const _bstr_t& method, const _bstr_t& url)
{
    m_method = CStdStr(method);
    m_url = CStdStr(url);
}

std::wstring LSReplayRequestBase::FileAction() const
{
    if (!m_action.empty())
        return ReplaceNonAlphanumeric(m_action);
    const CStdStr method(m_method);
    if (!method.EqualsNoCase(L"GET") && !method.EqualsNoCase(L"PUT"))
        return std::wstring();
    const size_t slash = m_url.rfind(L'/');
    if (slash == std::wstring::npos)
        return std::wstring();
    std::wstring segment = m_url.substr(slash + 1);
    segment = segment.substr(0, segment.find(L'?'));
    return ReplaceNonAlphanumeric(segment);
}

RequestFileNames LSReplayRequestBase::NextExchangeFiles()
{
    ++g_exchangeCount;
    const std::wstring& prefix = RecordingPrefix(m_configuration);
    const std::wstring action = FileAction();
    RequestFileNames names;
    names.request =
        CStdStr::Format(L"%ls_%06u_req_%ls_%ls.txt", prefix.c_str(), g_exchangeCount, m_method.c_str(), action.c_str());
    names.response =
        CStdStr::Format(L"%ls_%06u_res_%ls_%ls.txt", prefix.c_str(), g_exchangeCount, m_method.c_str(), action.c_str());
    return names;
}

std::string LSReplayRequestBase::RequestFileText() const
{
    std::wstring text = m_method + L"\n" + m_url + L"\n";
    if (!m_action.empty())
        text += m_action + L"\n";
    text += L"\n";
    return WideToMultiByte(text, CP_UTF8);
}

RequestRecord LSReplayRequestBase::ReadRequestRecord(const std::wstring& path)
{
    RequestRecord record;
    std::string bytes;
    if (!ReadBinaryFile(path, bytes))
        return record;
    std::wistringstream tokens(MultiByteToWide(bytes, CP_UTF8));
    tokens >> record.method >> record.url >> record.action;
    return record;
}

} // namespace LSRequestReplay
