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
#include <functional>
#include <string>
#include <vector>

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
    void* m_file = nullptr; // the capture file, opened to be deleted on close
    int m_savedStandardError = -1;
    bool m_redirected = false;
};
