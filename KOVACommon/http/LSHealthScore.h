#pragma once
// The server's load report: a successful answer carrying a health score at or
// above the threshold slows the component down and switches light sync on.
#include "KOVACommon/http/ILSHttpRequest.h"

namespace LSHealthScore {

// Reads X-SharePointHealthScore of a successful answer; at or above the
// threshold, light sync goes on and the thread waits the configured delay
// (LSDelay, ended by the host's shutdown).
void CheckHealthScore(ILSHttpRequest& request);

} // namespace LSHealthScore
