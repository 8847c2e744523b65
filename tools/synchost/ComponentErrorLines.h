#pragma once
// The component writes error lines only when error logging is switched on.
// So that a failed pass shows its cause without that, synchost runs the pass
// in a second copy of itself with error logging on for that run only (into a
// scratch log folder, removed afterwards) and keeps the component's error
// lines from its standard error: they are printed when the pass fails.
#include <functional>
#include <string>

// True when this process should hand the pass to such a copy: error logging
// is off and this process is not that copy already.
bool ShouldCaptureComponentErrorLines();

// Runs this program's command line again as described and returns its exit
// code. Its own standard-error lines are passed to write at once.
int RunPassCapturingComponentErrorLines(const std::function<void(const std::string&)>& write);
