#pragma once
// How long a server asks us to back off, read the same way wherever it says
// so: an HTTP answer's Retry-After, a Graph sub-answer's Retry-After, an EWS
// BackOffMilliseconds. 0 means "nothing usable asked": the caller's own
// back-off applies.
#include <cstdint>
#include <string>

namespace LSRetryAfter {

// Longest wait we honour; a server asking for more gets no retry, so the
// host's thread is never held for minutes on a broken or hostile answer.
constexpr uint32_t LongestWaitSeconds = 180;

// Delta-seconds (digits only) or an HTTP date (seconds from now, a date in
// the past gives 0). Negative, not a number or beyond 32 bits: 0.
uint32_t Seconds(const std::wstring& value);
// The same, against the given current time in seconds since 1970 (UTC).
uint32_t Seconds(const std::wstring& value, int64_t nowUnixSeconds);
// An EWS BackOffMilliseconds text as whole seconds, rounded up; 0 when it is
// not digits only or overflows.
uint32_t FromMilliseconds(const std::wstring& milliseconds);

} // namespace LSRetryAfter
