#include "LSDiag.h"

bool LSDiag::s_diagEnabled = false;
bool LSDiag::s_perfEnabled = false;
bool LSDiag::s_errorEnabled = false;
bool LSDiag::s_isOfficeProcess = false;
bool LSDiag::s_isTestRunnerProcess = false;

void LSDiag::SetSwitchesForTest(bool diag, bool perf, bool error)
{
    s_diagEnabled = diag;
    s_perfEnabled = perf;
    s_errorEnabled = error;
}

void LSDiag::SetProcessFactsForTest(bool office, bool testRunner)
{
    s_isOfficeProcess = office;
    s_isTestRunnerProcess = testRunner;
}
