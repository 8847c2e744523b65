#pragma once
// Test access to the process's once-values: a case that changes a setting
// the process reads once starts from a process that has read none of them.
#include "QuorvalCommon/LSOnceValue.h"

class LSOnceValueAccess
{
public:
    // Every once-value of the process computes its value again on next use.
    static void ForgetAll()
    {
        AcquireSRWLockShared(&LSOnceValueBase::s_listLock);
        for (LSOnceValueBase* value = LSOnceValueBase::s_first; value; value = value->m_next)
            value->Forget();
        ReleaseSRWLockShared(&LSOnceValueBase::s_listLock);
    }
};
