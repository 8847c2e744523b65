#pragma once
// An unsuccessful HTTP answer. At the interface boundary it is E_FAIL, and
// its line names the status, the address asked and the service's message.
#include "QuorvalCommon/hresult_exception.h"

#include <cstdint>
#include <string>

class LSHttpError : public hresult_exception
{
public:
    LSHttpError(uint32_t status, std::wstring message);
    LSHttpError(uint32_t status, std::wstring message, std::wstring jsonBody, uint32_t retryAfter);
    // throttled: the server said "busy" in its own words (an EWS ErrorServerBusy)
    // rather than with 503 or 429.
    LSHttpError(uint32_t status, std::wstring message, std::wstring jsonBody, uint32_t retryAfter, bool throttled);

    uint32_t Status() const { return m_status; }
    const std::wstring& Message() const { return m_message; }
    uint32_t RetryAfter() const { return m_retryAfter; }
    const std::wstring& JsonBody() const { return m_jsonBody; }
    bool Throttled() const { return m_throttled; }
    // Why the service refused, in its own words (Exchange Online's
    // X-EWS-Policy-Reason header); empty when the answer gave none.
    const std::wstring& PolicyReason() const { return m_policyReason; }
    LSHttpError& WithPolicyReason(std::wstring reason);
    // The address that answered; empty until the exchange that met the
    // failure names it.
    const std::wstring& Address() const { return m_address; }
    LSHttpError& WithAddress(std::wstring address);

    const char* KindName() const noexcept override { return "LSHttpError"; }
    std::string Details() const override;

    // "%d\t%s": status, one TAB, message.
    std::wstring ToString() const;
    // Reads the string form; throws E_INVALIDARG (bare) when it has no TAB or
    // no convertible status.
    static LSHttpError FromString(const std::wstring& text);

private:
    uint32_t m_status;
    std::wstring m_message;
    uint32_t m_retryAfter;
    std::wstring m_jsonBody;
    bool m_throttled = false;
    std::wstring m_policyReason;
    std::wstring m_address;
};
