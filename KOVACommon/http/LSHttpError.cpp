#include "KOVACommon/http/LSHttpError.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cwchar>

LSHttpError::LSHttpError(uint32_t status, std::wstring message)
    : m_status(status), m_message(std::move(message)), m_retryAfter(0)
{
}

LSHttpError::LSHttpError(uint32_t status, std::wstring message, std::wstring jsonBody, uint32_t retryAfter)
    : m_status(status), m_message(std::move(message)), m_retryAfter(retryAfter), m_jsonBody(std::move(jsonBody))
{
}

LSHttpError::LSHttpError(uint32_t status, std::wstring message, std::wstring jsonBody, uint32_t retryAfter,
                         bool throttled)
    : LSHttpError(status, std::move(message), std::move(jsonBody), retryAfter)
{
    m_throttled = throttled;
}

LSHttpError& LSHttpError::WithPolicyReason(std::wstring reason)
{
    m_policyReason = std::move(reason);
    return *this;
}

std::wstring LSHttpError::ToString() const
{
    return CStdStr::Format(L"%d\t%ls", static_cast<int>(m_status), m_message.c_str());
}

LSHttpError LSHttpError::FromString(const std::wstring& text)
{
    const size_t tab = text.find(L'\t');
    if (tab == std::wstring::npos)
    {
        LS_ERROR_LOG << "Failed to create HttpError from string - " << ToLogText(text);
        ThrowHr(E_INVALIDARG);
    }
    const int status = ReadDecimal(text.substr(0, tab));
    return LSHttpError(static_cast<uint32_t>(status), text.substr(tab + 1));
}
