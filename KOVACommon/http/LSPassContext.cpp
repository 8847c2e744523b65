#include "KOVACommon/http/LSPassContext.h"

#include <utility>

namespace {

// Per thread: the filter is apartment-threaded, and each pass runs on the
// thread that called it.
thread_local LSPassContext* t_current = nullptr;

} // namespace

LSPassContext::LSPassContext(ILSShutdownInformerPtr shutdownInformer)
    : m_shutdownInformer(std::move(shutdownInformer)), m_outer(t_current)
{
    t_current = this;
}

LSPassContext::~LSPassContext()
{
    t_current = m_outer;
}

ILSShutdownInformerPtr LSPassContext::ShutdownInformer()
{
    return t_current ? t_current->m_shutdownInformer : ILSShutdownInformerPtr();
}
