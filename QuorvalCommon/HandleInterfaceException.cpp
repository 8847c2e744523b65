#include "QuorvalCommon/HandleInterfaceException.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "QuorvalCommon/hresult_exception.h"

#include <comdef.h>
#include <exception>
#include <memory>

std::wstring SystemMessageText(HRESULT hr)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, LocalFreer> owner(buffer);
    if (length > 0 && buffer)
    {
        std::wstring text(buffer, length);
        if (!text.empty() && text.back() == L'\n')
            text.pop_back();
        if (!text.empty() && text.back() == L'\r')
            text.pop_back();
        return text;
    }
    const unsigned long value = static_cast<unsigned long>(hr);
    if (value > 0x80040200UL && value <= 0x8004FFFFUL)
        return CStdStr::Format(L"IDispatch error #%d", static_cast<int>((value - 0x200UL) & 0xFFFFUL));
    return CStdStr::Format(L"Unknown error 0x%0lX", value);
}

namespace {

void SetErrorText(std::wstring* errorText, const std::wstring& text)
{
    if (errorText)
        *errorText = text;
}

std::wstring ComErrorDescription(const _com_error& error)
{
    if (!error.ErrorInfo())
        return std::wstring();
    BSTR description = nullptr;
    if (FAILED(error.ErrorInfo()->GetDescription(&description)))
        return std::wstring();
    const _bstr_t owner(description, false);
    return CStdStr(owner);
}

// The system's text for an HRESULT, asked for only when someone reads it.
std::wstring WantedSystemText(HRESULT hr, bool logged, bool wanted)
{
    return logged || wanted ? SystemMessageText(hr) : std::wstring();
}

HRESULT ReportComError(const char* function, const char* file, int line, std::wstring* errorText, HRESULT hr,
                       const std::wstring& description)
{
    const bool logged = LSDiag::ErrorEnabled();
    const std::wstring message = WantedSystemText(hr, logged, errorText && description.empty());
    if (logged)
        LS_LOG_AT(file, line, ERROR) << function << ": Caught _com_error at interface -" << LogHex(hr)
                                     << ", desc=" << ToLogText(description) << " msg=" << ToLogText(message);
    SetErrorText(errorText, description.empty() ? message : description);
    return hr;
}

HRESULT ReportBareHresult(const char* function, const char* file, int line, std::wstring* errorText, HRESULT hr)
{
    if (LSDiag::ErrorEnabled())
        LS_LOG_AT(file, line, ERROR) << function << ": Caught HRESULT at interface -" << LogHex(hr);
    SetErrorText(errorText, WantedSystemText(hr, false, errorText != nullptr));
    return hr;
}

HRESULT ReportStandard(const char* function, const char* file, int line, std::wstring* errorText,
                       const char* what)
{
    if (LSDiag::ErrorEnabled())
        LS_LOG_AT(file, line, ERROR) << function << ": Caught std::exception at interface -" << what;
    SetErrorText(errorText, MultiByteToWide(what, CP_ACP));
    return E_FAIL;
}

HRESULT ReportOwn(const char* function, const char* file, int line, std::wstring* errorText,
                  const hresult_exception& e)
{
    switch (e.shape())
    {
    case hresult_exception::Shape::Bare:
        return ReportBareHresult(function, file, line, errorText, e.hr());
    case hresult_exception::Shape::Com:
        return ReportComError(function, file, line, errorText, e.hr(), e.description());
    case hresult_exception::Shape::Standard:
        ReportStandard(function, file, line, errorText, e.what());
        return e.hr();
    case hresult_exception::Shape::Message:
        break;
    }
    if (LSDiag::ErrorEnabled())
        LS_LOG_AT(file, line, ERROR) << function << ": Caught " << e.KindName() << " at interface -"
                                     << LogHex(e.hr()) << " - " << e.Details();
    SetErrorText(errorText, MultiByteToWide(e.what(), CP_ACP));
    return e.hr();
}

HRESULT Classify(const char* function, const char* file, int line, std::wstring* errorText)
{
    try
    {
        throw;
    }
    catch (const hresult_exception& e)
    {
        return ReportOwn(function, file, line, errorText, e);
    }
    catch (const std::exception& e)
    {
        return ReportStandard(function, file, line, errorText, e.what());
    }
    catch (HRESULT hr)
    {
        return ReportBareHresult(function, file, line, errorText, hr);
    }
    catch (const _com_error& e)
    {
        // Raised by the compiler's COM support, not by the component.
        return ReportComError(function, file, line, errorText, e.Error(), ComErrorDescription(e));
    }
    catch (...)
    {
        if (LSDiag::ErrorEnabled())
            LS_LOG_AT(file, line, ERROR) << function << ": Caught unknown exception at interface -";
        SetErrorText(errorText, L"Unknown error");
        return E_FAIL;
    }
}

} // namespace

HRESULT HandleInterfaceException(const char* functionName, const char* sourceFile, int line,
                                 std::wstring* errorText) noexcept
{
    try
    {
        return Classify(functionName, sourceFile, line, errorText);
    }
    catch (...)
    {
        // Logging itself failed (out of memory); the caller still gets a code.
        return E_FAIL;
    }
}
