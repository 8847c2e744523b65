#pragma once
// The one exception the component raises itself. It carries the HRESULT the
// interface boundary returns and a message; its shape says which line the
// boundary writes, so administrators find the line kinds they know (a plain
// HRESULT, a COM error with its description, a standard failure).
// LSHttpError derives from it and adds what an HTTP failure knows.
#include <windows.h>
#include <comdef.h>
#include <stdexcept>
#include <string>

class hresult_exception : public std::exception
{
public:
    enum class Shape
    {
        Message,  // an HRESULT with a message of its own
        Bare,     // an HRESULT alone; the system's text describes it
        Com,      // a failed call into a COM object, with the object's description
        Standard, // a failure that has no HRESULT of its own (E_FAIL at the boundary)
    };

    hresult_exception(HRESULT hr, std::string message) : m_hr(hr), m_message(std::move(message)) {}
    static hresult_exception Bare(HRESULT hr) { return hresult_exception(hr, std::string(), Shape::Bare); }
    static hresult_exception Com(HRESULT hr, std::wstring description = std::wstring());
    static hresult_exception Standard(std::string message)
    {
        return hresult_exception(E_FAIL, std::move(message), Shape::Standard);
    }

    const char* what() const noexcept override { return m_message.c_str(); }
    HRESULT hr() const noexcept { return m_hr; }
    Shape shape() const noexcept { return m_shape; }
    // The description a COM object left for the failed call; empty for the other shapes.
    const std::wstring& description() const noexcept { return m_description; }

    // The boundary's name for a Message-shaped failure and the text after its
    // HRESULT; a derived failure that knows more says so here.
    virtual const char* KindName() const noexcept { return "hresult_exception"; }
    virtual std::string Details() const { return m_message; }

protected:
    hresult_exception(HRESULT hr, std::string message, Shape shape)
        : m_hr(hr), m_message(std::move(message)), m_shape(shape)
    {
    }

private:
    HRESULT m_hr;
    std::string m_message;
    Shape m_shape = Shape::Message;
    std::wstring m_description;
};

// A failure HRESULT on its own; the boundary reports it as a plain HRESULT.
[[noreturn]] inline void ThrowHr(HRESULT hr)
{
    throw hresult_exception::Bare(hr);
}

// A failure HRESULT of a call into a COM object becomes a COM error.
inline void ThrowIfFailedCom(HRESULT hr)
{
    if (FAILED(hr))
        throw hresult_exception::Com(hr);
}

// The same with the description the object left for that interface.
void ThrowIfFailedCom(HRESULT hr, IUnknown* object, REFIID iid);

// A failure HRESULT of a step becomes a failure naming the step.
inline void ThrowIfFailed(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        throw hresult_exception(hr, what);
}
