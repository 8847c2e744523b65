#pragma once
// Fails an operation with a specific HRESULT; the interface boundary returns it.
#include <windows.h>
#include <comdef.h>
#include <stdexcept>
#include <string>

class hresult_exception : public std::exception
{
public:
    hresult_exception(HRESULT hr, std::string message) : m_hr(hr), m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    HRESULT hr() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
    std::string m_message;
};

// A bare HRESULT thrown as a 32-bit integer; the boundary returns it unchanged.
[[noreturn]] inline void ThrowHr(HRESULT hr)
{
    throw static_cast<HRESULT>(hr);
}

// A failure HRESULT of a call into a COM object becomes a COM error.
inline void ThrowIfFailedCom(HRESULT hr)
{
    if (FAILED(hr))
        throw _com_error(hr);
}

// The same with the error information the object left for that interface.
inline void ThrowIfFailedCom(HRESULT hr, IUnknown* object, REFIID iid)
{
    if (FAILED(hr))
        _com_issue_errorex(hr, object, iid);
}

// A failure HRESULT of a step becomes an hresult_exception naming the step.
inline void ThrowIfFailed(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        throw hresult_exception(hr, what);
}
