#include "KOVACommon/http/LSSentRequests.h"

namespace {
thread_local uint64_t sentOnThisThread = 0;
} // namespace

namespace LSSentRequests {

void CountOne()
{
    ++sentOnThisThread;
}

uint64_t OnThisThread()
{
    return sentOnThisThread;
}

} // namespace LSSentRequests
