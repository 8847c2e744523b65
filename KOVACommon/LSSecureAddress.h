#pragma once
// Where the bearer token may go: https addresses, and plain http only to a
// loopback host (localhost, 127.0.0.0/8, [::1]), which never leaves the machine.
#include <string>

namespace LSSecureAddress {

// The host of an absolute address, lower case, IPv6 literals with their
// brackets; empty when the address has none.
std::wstring HostOf(const std::wstring& url);
bool IsLoopbackHost(const std::wstring& host);
bool IsAllowed(const std::wstring& url);
// Error line naming the address and the setting (or answer) it came from,
// then E_ACCESSDENIED; nothing for an allowed address.
void Require(const std::wstring& url, const std::wstring& source);

} // namespace LSSecureAddress
