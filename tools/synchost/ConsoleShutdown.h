#pragma once
// Ctrl+C asks the filter to stop, through the shutdown informer the harness
// handed it, so the pass ends with E_ABORT and the run's settings are put
// back. A second Ctrl+C ends the process at once.
#include "external/HostObjects/LSHostShutdownInformer.h"

class ConsoleShutdown
{
public:
    explicit ConsoleShutdown(LSHostShutdownInformer& informer);
    ~ConsoleShutdown();
    ConsoleShutdown(const ConsoleShutdown&) = delete;
    ConsoleShutdown& operator=(const ConsoleShutdown&) = delete;
};
