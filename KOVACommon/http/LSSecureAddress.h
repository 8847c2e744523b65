#pragma once
// Where the bearer token may go: https addresses, and plain http only to a
// loopback host (localhost, 127.0.0.0/8, [::1]), which never leaves the
// machine. Addresses are read by the platform's own parser (WinHttpCrackUrl),
// the one WinHTTP connects by, so the host checked is the host reached; an
// address it could read in more than one way (user information, a
// backslash, white space or control characters) is refused outright.
#include <windows.h>

#include <optional>
#include <string>

namespace LSSecureAddress {

struct CrackedUrl
{
    bool https = false;
    std::wstring host; // as written; empty when the address has none
    std::wstring userName;
    std::wstring password;
};

// The platform parser's reading of an absolute http or https address;
// nothing when it refuses the address.
std::optional<CrackedUrl> Crack(const std::wstring& url);
// What makes the address ambiguous, whatever its scheme: "@" before the path
// (user information, or a parser that takes it so), a backslash, white space
// or a control character anywhere; nullptr when none.
const char* Ambiguity(const std::wstring& url);

// The address for a log line or a message: control characters
// percent-encoded, so it cannot forge lines, and at most a few hundred
// characters.
std::wstring Printable(const std::wstring& url);

// The host of an absolute address as the platform reads it, lower case;
// empty when the address has none or cannot be read.
std::wstring HostOf(const std::wstring& url);
bool IsLoopbackHost(const std::wstring& host);
bool IsAllowed(const std::wstring& url);
// Error line naming the address and the setting (or answer) it came from,
// then E_ACCESSDENIED; nothing for an allowed address.
void Require(const std::wstring& url, const std::wstring& source);

} // namespace LSSecureAddress
