#include "KOVACommon/auth/LSGetAuthTokens.h"

#include "KOVACommon/auth/LSAuthRegistrations.h"
#include "KOVACommon/http/LSAnswerWait.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSPassContext.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSOnFailure.h"
#include "QuorvalCommon/LSTiming.h"
#include "QuorvalCommon/hresult_exception.h"

#include <ole2.h>

#include <algorithm>

namespace {

constexpr DWORD PollIntervalMs = 50;
constexpr unsigned PollsPerProgressLine = 100;
constexpr DWORD AnyServerContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                                   CLSCTX_REMOTE_SERVER; // 0x17

IAuthTokenLibrary& Require(IAuthTokenLibraryPtr& library)
{
    if (!library)
        throw hresult_exception::Com(E_POINTER);
    return *library;
}

// A BSTR handed out by the library, owned from here on.
_bstr_t TakeText(BSTR text) { return _bstr_t(text, false); }

bool IsSignInMarker(const std::wstring& token)
{
    return CStdStr(token).EqualsNoCase(LSAuthRegistrations::SignInMarker);
}

LONG OwnerWindow()
{
    LONG owner = 0;
    if (const ILSShutdownInformerPtr informer = LSPassContext::ShutdownInformer())
        informer->GetOwnerWindow(&owner);
    return owner;
}

IUnknownPtr CreateLibraryObject()
{
    IUnknownPtr object;
    HRESULT hr = CoCreateInstance(__uuidof(AuthTokenLibrary), nullptr, AnyServerContext, IID_IUnknown,
                                  reinterpret_cast<void**>(&object));
    if (hr == E_NOINTERFACE)
        return nullptr;
    ThrowIfFailedCom(hr);
    ThrowIfFailedCom(OleRun(object));
    return object;
}

// The library interface of an object; null when the object has none.
IAuthTokenLibraryPtr QueryLibrary(const IUnknownPtr& object)
{
    IAuthTokenLibraryPtr library;
    if (!object)
        return library;
    HRESULT hr = object->QueryInterface(__uuidof(IAuthTokenLibrary), reinterpret_cast<void**>(&library));
    if (hr != E_NOINTERFACE)
        ThrowIfFailedCom(hr);
    return library;
}

} // namespace

LSGetAuthTokens::LSGetAuthTokens(const std::wstring& clientId, const std::wstring& redirectAddress,
                                 const std::wstring& cacheFilePath, const std::wstring& scope)
    : m_scope(scope)
{
    LS_DIAG_LOG << "OAuth " << ToLogText(clientId) << " - " << ToLogText(redirectAddress) << " - "
                << ToLogText(cacheFilePath);
    if (clientId.empty() || redirectAddress.empty() || cacheFilePath.empty())
        throw hresult_exception(E_INVALIDARG, "LSGetAuthTokens");
    m_library = CreateLibraryObject();
    LogAssemblyError(QueryLibrary(m_library), [&](IAuthTokenLibraryPtr& library) {
        ThrowIfFailedCom(Require(library).Initialise(_bstr_t(clientId.c_str()), _bstr_t(redirectAddress.c_str()),
                                                     _bstr_t(cacheFilePath.c_str())),
                         library, __uuidof(IAuthTokenLibrary));
    });
}

std::wstring LSGetAuthTokens::RedactedToken(const std::wstring& token)
{
    // The last characters help match a token to the library's own records;
    // for a short text they would give too much of it away.
    constexpr size_t ShownTail = 4;
    constexpr size_t ShortestWithTail = 16;
    CStdStr text = CStdStr::Format(L"[redacted, %u characters", static_cast<unsigned>(token.size()));
    if (token.size() >= ShortestWithTail)
        text.AppendFormat(L", ending %ls", token.substr(token.size() - ShownTail).c_str());
    text += L"]";
    return text;
}

std::wstring LSGetAuthTokens::ScopeForRoot(const std::wstring& serviceRoot)
{
    const size_t schemeEnd = serviceRoot.find(L"://");
    const size_t hostStart = schemeEnd == std::wstring::npos ? 0 : schemeEnd + 3;
    const size_t hostEnd = std::min(serviceRoot.find_first_of(L"/?#", hostStart), serviceRoot.size());
    std::wstring origin = serviceRoot.substr(0, hostEnd);
    const size_t portStart = std::min(origin.find(L':', hostStart), origin.size());
    for (size_t i = 0; i < portStart; ++i)
        if (origin[i] >= L'A' && origin[i] <= L'Z')
            origin[i] = static_cast<wchar_t>(origin[i] - L'A' + L'a');
    return origin + L"/.default";
}

bool LSGetAuthTokens::CallWithAccessToken(TokenCallback callback)
{
    const std::wstring& scope = m_scope;
    LS_DIAG_LOG << "OAuth get token " << ToLogText(scope);
    std::wstring token = GetAccessToken(scope, false);
    if (IsSignInMarker(token))
        return true;
    LS_DIAG_LOG << "OAuth got token " << ToLogText(RedactedToken(token)) << " attempt 1";
    try
    {
        callback(token);
        return false;
    }
    catch (const LSHttpError& error)
    {
        LS_ERROR_LOG << "Caught http status " << ToLogText(error.ToString());
        if (error.Status() != 401 && error.Status() != 403)
            throw;
    }
    token = GetAccessToken(scope, true);
    if (IsSignInMarker(token))
        return true;
    LS_DIAG_LOG << "OAuth got token " << ToLogText(RedactedToken(token)) << " attempt 2";
    callback(token);
    return false;
}

IAuthTokenLibraryPtr LSGetAuthTokens::Library() const { return QueryLibrary(m_library); }

std::wstring LSGetAuthTokens::GetAccessToken(const std::wstring& scope, bool retry)
{
    LSAnswerWait::ThrowIfShutdownRequested();
    IAuthTokenLibraryPtr library = Library();
    const LSOnFailure cancel([&] { CancelAcquisition(library); });
    LogAssemblyError(library, [&](IAuthTokenLibraryPtr& lib) {
        const LONG owner = OwnerWindow();
        ThrowIfFailedCom(Require(lib).StartAcquire(_bstr_t(scope.c_str()), retry ? 1 : 0, owner, 0), lib,
                         __uuidof(IAuthTokenLibrary));
    });
    _bstr_t token;
    unsigned polls = 0;
    LSAnswerWait::WaitUntil(
        [&](uint64_t) {
            VARIANT_BOOL done = VARIANT_FALSE;
            LogAssemblyError(library, [&](IAuthTokenLibraryPtr& lib) {
                token = _bstr_t();
                BSTR text = nullptr;
                HRESULT hr = Require(lib).PollResult(&text, &done);
                token = TakeText(text);
                ThrowIfFailedCom(hr, lib, __uuidof(IAuthTokenLibrary));
            });
            if (done != VARIANT_FALSE)
                return true;
            token = _bstr_t();
            return false;
        },
        [&](uint64_t) {
            // Windows of this thread (a sign-in window among them) stay responsive.
            LSAnswerWait::PumpThenSleep(PollIntervalMs);
            if (++polls % PollsPerProgressLine == 0)
            {
                LS_DIAG_LOG << "Waiting for auth " << polls;
            }
        });
    return CStdStr::FromBSTR(token.GetBSTR());
}

void LSGetAuthTokens::CancelAcquisition(IAuthTokenLibraryPtr& library)
{
    try
    {
        LogAssemblyError(library, [](IAuthTokenLibraryPtr& lib) {
            ThrowIfFailedCom(Require(lib).Cancel(), lib, __uuidof(IAuthTokenLibrary));
        });
    }
    catch (...)
    {
        // Already logged; the failure that ended the acquisition is the one to report.
    }
}

void LSGetAuthTokens::LogAssemblyError(IAuthTokenLibraryPtr library, const LibraryCall& call)
{
    // Reported, then passed on. The library is asked for its error only when
    // the line will be written.
    LS_COM_BOUNDARY_BEGIN
    call(library);
    LS_COM_BOUNDARY_END_THEN("LogAssemblyError",
                             LS_ERROR_LOG << "Error from OAuth library " << ToLogText(ExtractError(library)); throw)
}

std::wstring LSGetAuthTokens::ExtractError(IAuthTokenLibraryPtr& library)
{
    std::wstring text = L"none";
    LS_COM_BOUNDARY_BEGIN
    {
        if (library)
        {
            BSTR raw = nullptr;
            HRESULT hr = library->GetLastErrorMessage(&raw);
            _bstr_t message = TakeText(raw);
            ThrowIfFailedCom(hr, library, __uuidof(IAuthTokenLibrary));
            raw = nullptr;
            hr = library->GetLastErrorStack(&raw);
            _bstr_t stack = TakeText(raw);
            ThrowIfFailedCom(hr, library, __uuidof(IAuthTokenLibrary));
            text = CStdStr::Format(L"Err: %ls\nStack: %ls", CStdStr::FromBSTR(message.GetBSTR()).c_str(),
                                   CStdStr::FromBSTR(stack.GetBSTR()).c_str());
        }
    }
    LS_COM_BOUNDARY_END_TEXT("ExtractError", &text)
    return text;
}
