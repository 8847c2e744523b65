#pragma once
// Wine's XMLHTTP object crashes the process when it is released while its
// request is still in flight and the answer arrives afterwards (its callback
// writes into the freed object). So a platform object whose request was sent
// but has not completed (after a shutdown or an abandoned wait) is kept here,
// on its own thread, until it completes; then it is released like any other.
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <cstddef>

namespace LSInFlightRequests {

// Releases the object now, or keeps it while its request is in flight. Also
// releases the kept objects of this thread that have completed since. Leaves
// the pointer null.
void Release(IXMLHTTPRequestPtr& request);

// Objects of this thread still kept.
size_t KeptCount();

} // namespace LSInFlightRequests
