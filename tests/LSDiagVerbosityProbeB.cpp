// See LSDiagVerbosityProbeA.cpp.
#include <glog/logging.h>

int HighestVerbosityOnInProbeB()
{
    int level = 0;
    while (level < 5 && VLOG_IS_ON(level + 1))
        ++level;
    return level;
}
