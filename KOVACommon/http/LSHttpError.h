#pragma once
// The exception for an unsuccessful HTTP answer. A plain class: no base, no
// virtual operations; thrown and caught by value or reference.
#include <cstdint>
#include <string>

class LSHttpError
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
};
