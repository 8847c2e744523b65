#pragma once
// What one sync pass hands down to its waits: the host's shutdown informer.
// The filter's folder update opens a context on its thread for the length of
// the pass; the waits, the back-offs and the token poll find it there instead
// of being handed it through every call. Contexts nest (a pumping wait may
// let the host run another filter's pass on this thread): each one puts back
// the one it hid. Outside any pass there is no informer: never shut down.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"

class LSPassContext
{
public:
    explicit LSPassContext(ILSShutdownInformerPtr shutdownInformer);
    ~LSPassContext();
    LSPassContext(const LSPassContext&) = delete;
    LSPassContext& operator=(const LSPassContext&) = delete;

    // The informer of this thread's innermost pass; null outside a pass.
    static ILSShutdownInformerPtr ShutdownInformer();

private:
    // Held here, so a host that drops or swaps its informer meanwhile does
    // not take it from the pass.
    const ILSShutdownInformerPtr m_shutdownInformer;
    LSPassContext* const m_outer;
};
