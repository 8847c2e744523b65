#pragma once
// Test access to the logging switches and the host-process facts, which the
// component sets once, when it starts.
#include "QuorvalCommon/LSDiag.h"

class LSDiagAccess
{
public:
    static void SetSwitches(bool diag, bool perf, bool error)
    {
        LSDiag::s_diagEnabled = diag;
        LSDiag::s_perfEnabled = perf;
        LSDiag::s_errorEnabled = error;
    }

    static void SetProcessFacts(bool office, bool testRunner)
    {
        LSDiag::s_isOfficeProcess = office;
        LSDiag::s_isTestRunnerProcess = testRunner;
    }
};
