#include "KOVACommon/http/LSInFlightRequests.h"

#include <algorithm>
#include <vector>

namespace LSInFlightRequests {

namespace {

// Per thread, because each object belongs to its thread's apartment. Never
// destroyed: releasing an object still in flight at thread or process end
// would be the very crash this avoids.
std::vector<IXMLHTTPRequestPtr>& Kept()
{
    thread_local std::vector<IXMLHTTPRequestPtr>* kept = new std::vector<IXMLHTTPRequestPtr>();
    return *kept;
}

long ReadyState(const IXMLHTTPRequestPtr& request)
{
    long state = XmlHttpReadyState::Completed;
    if (FAILED(request->get_readyState(&state)))
        return XmlHttpReadyState::Completed;
    return state;
}

bool InFlight(const IXMLHTTPRequestPtr& request)
{
    const long state = ReadyState(request);
    return state >= XmlHttpReadyState::Sent && state < XmlHttpReadyState::Completed;
}

void ReleaseCompleted()
{
    std::vector<IXMLHTTPRequestPtr>& kept = Kept();
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [](const IXMLHTTPRequestPtr& request) { return !InFlight(request); }),
               kept.end());
}

} // namespace

void Release(IXMLHTTPRequestPtr& request)
{
    ReleaseCompleted();
    if (request && InFlight(request))
        Kept().push_back(request);
    request = nullptr;
}

size_t KeptCount()
{
    return Kept().size();
}

} // namespace LSInFlightRequests
