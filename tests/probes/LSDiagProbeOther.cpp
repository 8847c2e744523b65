// A second source file of the probe host, so verbosity limits per module can
// be seen to apply.
#include "QuorvalCommon/LSLog.h"

void WriteOtherDiagnosticLine()
{
    LS_DIAG_LOG << "other diagnostic line";
}
