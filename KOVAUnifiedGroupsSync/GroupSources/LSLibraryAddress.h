#pragma once
// A group's library address comes from the service (a Graph drive's webUrl,
// an EWS resource's Url), which takes it from whatever the group's owner or
// the tenant set up, and goes to the host, which opens it to sync the
// library. Only an address the host can open safely gets there.
#include <string>

namespace LSLibraryAddress {

// An absolute https address that the platform's URL parser (the one WinHTTP
// connects by) accepts, with a host, without user information, and without
// white space, control characters or backslashes anywhere: not a UNC path,
// a file, script or plain http address, a relative path, or text that would
// read differently to another parser.
bool IsAcceptable(const std::wstring& address);

} // namespace LSLibraryAddress
