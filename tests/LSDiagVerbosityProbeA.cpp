// Verbosity probes: the logging library matches module limits against the
// base name of the source file that asks, so each probe is its own file.
#include <glog/logging.h>

int HighestVerbosityOnInProbeA()
{
    int level = 0;
    while (level < 5 && VLOG_IS_ON(level + 1))
        ++level;
    return level;
}
