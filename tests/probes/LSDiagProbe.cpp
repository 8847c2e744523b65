// A stand-in host process for the logging set-up. Initialize does its work
// once per process, so tests start this program with chosen settings and
// under chosen executable names, then read its log file and the facts it
// reports (argument 1: the file to write them to).
#include "QuorvalCommon/LSDiag.h"
#include "QuorvalCommon/LSLog.h"

#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <memory>

void WriteOtherDiagnosticLine();

namespace {

struct LocalFreer
{
    void operator()(wchar_t** p) const { LocalFree(p); }
};

struct FileCloser
{
    void operator()(FILE* f) const { fclose(f); }
};

void ReportFacts(const wchar_t* path)
{
    std::unique_ptr<FILE, FileCloser> out(_wfopen(path, L"w"));
    if (!out)
        return;
    fprintf(out.get(), "office=%d testrunner=%d diag=%d perf=%d error=%d v=%d logbuflevel=%d",
            LSDiag::IsOfficeProcess(), LSDiag::IsTestRunnerProcess(), LSDiag::DiagEnabled(), LSDiag::PerfEnabled(),
            LSDiag::ErrorEnabled(), static_cast<int>(FLAGS_v), static_cast<int>(FLAGS_logbuflevel));
}

} // namespace

int main()
{
    int count = 0;
    std::unique_ptr<wchar_t*, LocalFreer> args(CommandLineToArgvW(GetCommandLineW(), &count));
    LSDiag::Initialize(L"KOVA-UnifiedGroups");
    LSDiag::Initialize(L"KOVA-UnifiedGroups"); // a second class-object request
    LS_DIAG_LOG << "probe diagnostic line";
    WriteOtherDiagnosticLine();
    LS_ERROR_LOG << "probe error line";
    if (args && count > 1)
        ReportFacts(args.get()[1]);
    return 0;
}
