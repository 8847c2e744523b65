#include "KOVACommon/http/LSConnectionFailure.h"

#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <comdef.h>

namespace LSConnectionFailure {

namespace {

// WinHTTP's error codes (winhttp.h).
enum : DWORD
{
    Timeout = 12002,
    NameNotResolved = 12007,
    Cancelled = 12017,
    InvalidServerResponse = 12152,
    CannotConnect = 12029,
    ConnectionError = 12030,
    CertificateDateInvalid = 12037,
    CertificateNameInvalid = 12038,
    ClientCertificateNeeded = 12044,
    InvalidCertificateAuthority = 12045,
    CertificateRevocationFailed = 12057,
    SecureChannelError = 12157,
    InvalidCertificate = 12169,
    CertificateRevoked = 12170,
    SecureFailure = 12175,
    CertificateWrongUsage = 12179,
};

bool IsWinHttpCode(HRESULT hr)
{
    return HRESULT_FACILITY(hr) == FACILITY_WIN32;
}

} // namespace

std::string Cause(HRESULT hr)
{
    switch (IsWinHttpCode(hr) ? DWORD(HRESULT_CODE(hr)) : 0)
    {
    case CannotConnect:
        // Also an attempt nobody answered, which the system gives up on its own.
        return "connection refused or not answered";
    case ConnectionError:
        return "connection reset by the server";
    case NameNotResolved:
        return "host name not found";
    case Timeout:
        return "no answer in time";
    case Cancelled:
        return "request cancelled";
    case InvalidServerResponse:
        return "the server's answer is not valid HTTP";
    case CertificateDateInvalid:
        return "TLS handshake failed: the server's certificate has expired or is not yet valid";
    case CertificateRevoked:
    case CertificateRevocationFailed:
        return "TLS handshake failed: the server's certificate is revoked or its revocation cannot be checked";
    case ClientCertificateNeeded:
        return "TLS handshake failed: the server asks for a client certificate";
    case SecureChannelError:
    case SecureFailure:
    case CertificateNameInvalid:
    case InvalidCertificateAuthority:
    case InvalidCertificate:
    case CertificateWrongUsage:
        return "TLS handshake failed: the server's certificate is not trusted or not issued to this host name";
    default:
        return "the request failed";
    }
}

void Throw(HRESULT hr, const std::wstring& url)
{
    LS_ERROR_LOG << "No answer from " << ToLogText(url) << ": " << Cause(hr) << " (" << LogHex(hr) << ")";
    throw hresult_exception::Com(hr);
}

} // namespace LSConnectionFailure
