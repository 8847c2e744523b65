#include "QuorvalCommon/LSDiag.h"

bool LSDiag::s_diagEnabled = false;
bool LSDiag::s_perfEnabled = false;
bool LSDiag::s_errorEnabled = false;
bool LSDiag::s_isOfficeProcess = false;
bool LSDiag::s_isTestRunnerProcess = false;
