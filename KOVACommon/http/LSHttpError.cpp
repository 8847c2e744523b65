#include "KOVACommon/http/LSHttpError.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cwchar>

namespace {

// In the ANSI code page, as every failure's message: the boundary widens it
// back for the caller's error text.
std::string WhatText(uint32_t status, const std::wstring& message)
{
    return "HTTP " + std::to_string(status) + ": " + WideToMultiByte(message, CP_ACP);
}

} // namespace

LSHttpError::LSHttpError(uint32_t status, std::wstring message) : LSHttpError(status, std::move(message), {}, 0)
{
}

LSHttpError::LSHttpError(uint32_t status, std::wstring message, std::wstring jsonBody, uint32_t retryAfter)
    : hresult_exception(E_FAIL, WhatText(status, message)), m_status(status), m_message(std::move(message)),
      m_retryAfter(retryAfter), m_jsonBody(std::move(jsonBody))
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

LSHttpError& LSHttpError::WithAddress(std::wstring address)
{
    m_address = std::move(address);
    return *this;
}

std::string LSHttpError::Details() const
{
    std::string details = "HTTP " + std::to_string(m_status);
    if (!m_address.empty())
        details += " from " + ToLogText(m_address);
    details += ": " + ToLogText(m_message);
    if (!m_policyReason.empty())
        details += " (" + ToLogText(m_policyReason) + ")";
    return details;
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
