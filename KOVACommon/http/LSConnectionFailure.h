#pragma once
// A request that ended without an answer, named from the platform's code:
// a certificate that is not trusted or not issued to the host name, a
// refused connection, a host name that does not resolve, and so on.
#include <windows.h>
#include <string>

namespace LSConnectionFailure {

// What the code means, for the error line: "connection refused or not answered", ...
std::string Cause(HRESULT hr);
// Error line naming the cause and the address, then the COM error exception.
[[noreturn]] void Throw(HRESULT hr, const std::wstring& url);

} // namespace LSConnectionFailure
