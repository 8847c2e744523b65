// The host harness: does what the host sync engine does in one pass, for
// people who install or support the component and want to see what it would
// create.
#include "ComponentErrorCapture.h"
#include "ConsoleShutdown.h"
#include "OverrideJournal.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"
#include "RegistryValueOverride.h"
#include "SyncHostOptions.h"
#include "SyncHostPass.h"
#include "SyncHostReport.h"

#include <windows.h>
#include <objbase.h>
#include <memory>
#include <vector>

namespace {

// The stand-in for the external token library reads the token to hand out
// from here (external/AuthTokenLibrary/README.md).
const wchar_t* const TokenStandInKey = L"Software\\Quorval\\AuthTokenLibraryStandIn";

void Write(DWORD stream, const std::string& utf8)
{
    HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode))
    {
        const std::wstring text = MultiByteToWide(utf8, CP_UTF8);
        DWORD written = 0;
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    DWORD written = 0;
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

class ComApartment
{
public:
    ComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

// Settings changed for this run only; the previous values return at scope end.
std::vector<std::unique_ptr<RegistryValueOverride>> ApplyRunSettings(const SyncHostOptions& options)
{
    std::vector<std::unique_ptr<RegistryValueOverride>> overrides;
    const std::wstring settings = LSSetting::GetSettingsKeyPath();
    if (options.resource)
        overrides.push_back(
            std::make_unique<RegistryValueOverride>(settings, LSSettingTable::Resource.name, *options.resource));
    if (options.backend)
        overrides.push_back(
            std::make_unique<RegistryValueOverride>(settings, LSSettingTable::Backend.name, *options.backend));
    if (options.graphRoot)
        overrides.push_back(
            std::make_unique<RegistryValueOverride>(settings, LSSettingTable::GraphRoot.name, *options.graphRoot));
    if (options.token)
        overrides.push_back(std::make_unique<RegistryValueOverride>(TokenStandInKey, L"Token", *options.token));
    return overrides;
}

SyncPassReport FailedStep(const wchar_t* step, HRESULT hr)
{
    SyncPassReport report;
    report.hr = hr;
    report.failedStep = step;
    return report;
}

// With error logging off, the component's error lines of this run are
// captured; without a capture file the pass runs all the same.
std::unique_ptr<ComponentErrorCapture> StartErrorCapture()
{
    if (!ComponentErrorCapture::Wanted())
        return nullptr;
    try
    {
        return std::make_unique<ComponentErrorCapture>();
    }
    catch (const hresult_exception&)
    {
        return nullptr;
    }
}

struct RunOutcome
{
    SyncPassReport report;
    std::vector<std::string> componentErrorLines;
};

RunOutcome RunWithSettings(const SyncHostOptions& options)
{
    ComApartment apartment;
    if (FAILED(apartment.Result()))
        return {FailedStep(L"CoInitializeEx", apartment.Result()), {}};
    std::vector<std::unique_ptr<RegistryValueOverride>> overrides;
    try
    {
        overrides = ApplyRunSettings(options);
    }
    catch (const hresult_exception& e)
    {
        return {FailedStep(L"writing the run's settings", e.hr()), {}};
    }
    const std::unique_ptr<ComponentErrorCapture> capture = StartErrorCapture();
    const AroundCreation aroundCreation = [&capture](const std::function<void()>& create) {
        if (capture)
            capture->AroundCreation(create);
        else
            create();
    };
    LSHostShutdownInformer* informer = LSHostShutdownInformer::Create();
    RunOutcome outcome;
    {
        ConsoleShutdown shutdown(*informer);
        try
        {
            outcome.report = RunSyncPass(options, *informer, aroundCreation);
        }
        catch (const hresult_exception& e)
        {
            outcome.report = FailedStep(L"switching the component's error lines on for the run", e.hr());
        }
    }
    informer->Release();
    if (capture)
        outcome.componentErrorLines = capture->Finish();
    return outcome;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const ParsedOptions parsed = ParseSyncHostOptions(std::vector<std::wstring>(argv + 1, argv + argc));
    if (!parsed.error.empty())
    {
        Write(STD_ERROR_HANDLE, "synchost: " + WideToMultiByte(parsed.error, CP_UTF8) + "\n" +
                                    WideToMultiByte(SyncHostUsage(), CP_UTF8));
        return 2;
    }
    const SyncHostOptions& options = parsed.options;
    if (options.help)
    {
        Write(STD_OUTPUT_HANDLE, WideToMultiByte(SyncHostUsage(), CP_UTF8));
        return 0;
    }
    // Settings a killed run changed come back before this run changes any.
    OverrideJournal::RestoreLeftovers();
    const RunOutcome outcome = RunWithSettings(options);
    const SyncPassReport& report = outcome.report;
    if (options.json)
        Write(STD_OUTPUT_HANDLE, FormatJson(report, options));
    else if (SUCCEEDED(report.hr))
        Write(STD_OUTPUT_HANDLE, FormatTable(report, options));
    if (FAILED(report.hr))
    {
        Write(STD_ERROR_HANDLE, FormatFailure(report, options));
        if (!outcome.componentErrorLines.empty())
        {
            Write(STD_ERROR_HANDLE, "synchost: the component's error lines of this run:\n");
            for (const std::string& line : outcome.componentErrorLines)
                Write(STD_ERROR_HANDLE, line);
        }
        return 1;
    }
    return 0;
}
