#pragma once
// Limits on what a server may hand back: no answer above 32 MB (a declared
// length above it is refused as soon as it is known, before the body is
// read), and no body whose length differs from its Content-Length (a
// connection that broke half-way delivers a short body as if it were whole).
#include <cstdint>
#include <optional>
#include <string>

namespace LSAnswerLimits {

constexpr uint64_t LargestAnswerBytes = 32ull * 1024 * 1024;

// The length a Content-Length header's text declares: nothing when it is
// absent or not a plain decimal number.
std::optional<uint64_t> DeclaredLength(const std::wstring& contentLength);

// Error line and HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when the declared
// length is above the limit; an absent or unreadable one passes.
void CheckDeclaredLength(const std::wstring& url, const std::wstring& contentLength);
// The same for a received body, and for one whose length is not the
// declared one (unless a content coding changed the length on the way).
void CheckReceivedLength(const std::wstring& url, const std::wstring& contentLength,
                         const std::wstring& contentEncoding, uint64_t received);

} // namespace LSAnswerLimits
