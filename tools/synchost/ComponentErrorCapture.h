#pragma once
// The component writes error lines only when error logging is switched on.
// So that a failed pass shows its cause without that, synchost switches it on
// for its own process only: the component reads its log switches and log
// folder once per process, when the first class object is asked for, so
// those settings are changed just for the filter's creation and put back at
// once. The log folder named then is the capture file itself: the component
// can make no log file under a file, so its error lines go only to standard
// error, which synchost keeps in that file while the filter lives. The file
// is deleted when it is closed, by the end of the process included.
#include "QuorvalCommon/UniqueHandles.h"

#include <io.h>

#include <functional>
#include <string>
#include <vector>

// A C runtime file descriptor, closed by its owner.
struct CrtDescriptorTraits
{
    using Handle = int;
    static Handle Invalid() { return -1; }
    static bool IsValid(Handle h) { return h >= 0; }
    static void Close(Handle h) { _close(h); }
};
using UniqueCrtDescriptor = UniqueHandleT<CrtDescriptorTraits>;

class ComponentErrorCapture
{
public:
    // Throws hresult_exception when the capture file cannot be made.
    ComponentErrorCapture();
    ~ComponentErrorCapture();
    ComponentErrorCapture(const ComponentErrorCapture&) = delete;
    ComponentErrorCapture& operator=(const ComponentErrorCapture&) = delete;

    // True when error logging is off in the user's settings: only then is
    // there anything to capture.
    static bool Wanted();

    // Runs create (the filter's creation) with error logging switched on into
    // the capture; standard error is captured from then on.
    void AroundCreation(const std::function<void()>& create);

    // Ends the capture: the component's error lines written meanwhile.
    std::vector<std::string> Finish();

private:
    void Redirect();
    void Restore();

    std::wstring m_path;
    UniqueHandle m_file; // the capture file, opened to be deleted on close
    UniqueCrtDescriptor m_savedStandardError;
    bool m_redirected = false;
};
