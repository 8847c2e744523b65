#pragma once
// The check every request runs on its completed answer in FinishSend, below
// the exchange engine.
#include "KOVACommon/http/ILSHttpRequest.h"

#include <cstdint>

namespace LSAnswerCheck {

// An unsuccessful answer becomes LSHttpError with the most telling message
// it offers (its error line written); a successful one passes the health-score
// check and, when asked, is logged (its body only with logResponseBody).
void ThrowErrorMessage(ILSHttpRequest& request, bool logResponseBody);
// The answer's declared Content-Length: 0 when absent or not a number. It
// bounds response logging.
uint64_t GetContentLength(ILSHttpRequest& request);

} // namespace LSAnswerCheck
