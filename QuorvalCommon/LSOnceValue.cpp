#include "QuorvalCommon/LSOnceValue.h"

// Plain data, constant-initialised: usable by once-values made or destroyed
// while the process starts or ends.
SRWLOCK LSOnceValueBase::s_listLock = SRWLOCK_INIT;
LSOnceValueBase* LSOnceValueBase::s_first = nullptr;

LSOnceValueBase::LSOnceValueBase()
{
    AcquireSRWLockExclusive(&s_listLock);
    m_next = s_first;
    if (m_next)
        m_next->m_previous = this;
    s_first = this;
    ReleaseSRWLockExclusive(&s_listLock);
}

LSOnceValueBase::~LSOnceValueBase()
{
    AcquireSRWLockExclusive(&s_listLock);
    if (m_previous)
        m_previous->m_next = m_next;
    else
        s_first = m_next;
    if (m_next)
        m_next->m_previous = m_previous;
    ReleaseSRWLockExclusive(&s_listLock);
}
