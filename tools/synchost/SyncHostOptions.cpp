#include "SyncHostOptions.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSSettingTable.h"

#include <functional>
#include <map>

namespace {

using TextSetter = std::function<void(SyncHostOptions&, const std::wstring&)>;

constexpr unsigned MostPasses = 1000;

// 1 to MostPasses; 0 for anything else, which the parser refuses.
unsigned PassCount(const std::wstring& text)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return 0;
    const unsigned count = static_cast<unsigned>(std::stoul(text));
    return count <= MostPasses ? count : 0;
}

const std::map<std::wstring, TextSetter>& TextOptions()
{
    static const std::map<std::wstring, TextSetter> options = {
        {L"--resource", [](SyncHostOptions& o, const std::wstring& v) { o.resource = v; }},
        {L"--backend", [](SyncHostOptions& o, const std::wstring& v) { o.backend = v; }},
        {L"--graph-root", [](SyncHostOptions& o, const std::wstring& v) { o.graphRoot = v; }},
        {L"--profile", [](SyncHostOptions& o, const std::wstring& v) { o.profile = v; }},
        {L"--folder-location", [](SyncHostOptions& o, const std::wstring& v) { o.folderLocation = v; }},
        {L"--start-point", [](SyncHostOptions& o, const std::wstring& v) { o.startPoint = v; }},
        {L"--token", [](SyncHostOptions& o, const std::wstring& v) { o.token = v; }},
        {L"--progid", [](SyncHostOptions& o, const std::wstring& v) { o.progId = v; }},
        {L"--passes", [](SyncHostOptions& o, const std::wstring& v) { o.passes = PassCount(v); }},
    };
    return options;
}

// The setting's own spelling of a backend named on the command line; empty
// when it names none.
std::wstring BackendSettingValue(const std::wstring& name)
{
    for (const wchar_t* choice : LSSettingTable::BackendChoices)
    {
        if (CStdStr(name).EqualsNoCase(choice))
            return choice;
    }
    return std::wstring();
}

} // namespace

ParsedOptions ParseSyncHostOptions(const std::vector<std::wstring>& arguments)
{
    ParsedOptions parsed;
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        std::wstring name = arguments[i];
        std::wstring value;
        bool hasValue = false;
        const size_t equals = name.find(L'=');
        if (name.rfind(L"--", 0) == 0 && equals != std::wstring::npos)
        {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == L"--json" && !hasValue)
            parsed.options.json = true;
        else if ((name == L"--help" || name == L"-h" || name == L"/?") && !hasValue)
            parsed.options.help = true;
        else if (auto option = TextOptions().find(name); option != TextOptions().end())
        {
            if (!hasValue && i + 1 >= arguments.size())
            {
                parsed.error = name + L" needs a value";
                return parsed;
            }
            option->second(parsed.options, hasValue ? value : arguments[++i]);
        }
        else
        {
            parsed.error = L"unknown option " + arguments[i];
            return parsed;
        }
    }
    if (parsed.options.backend)
    {
        const std::wstring value = BackendSettingValue(*parsed.options.backend);
        if (value.empty())
        {
            parsed.error = L"--backend must be auto, ews or graph, not " + *parsed.options.backend;
            return parsed;
        }
        parsed.options.backend = value;
    }
    if (parsed.options.passes && *parsed.options.passes == 0)
    {
        parsed.error = L"--passes must be a number from 1 to " + std::to_wstring(MostPasses);
        return parsed;
    }
    if (parsed.options.progId.empty())
        parsed.error = L"--progid must not be empty";
    else if (parsed.options.folderLocation.empty())
        parsed.error = L"--folder-location must not be empty";
    return parsed;
}

std::wstring SyncHostUsage()
{
    return L"usage: synchost [options]\n"
           L"Runs one sync pass of the Unified Groups filter as the host sync engine does and prints\n"
           L"what the host would create: one row per group and the top folder.\n"
           L"\n"
           L"  --resource URL          Exchange service root for this run (setting KOVAUnifiedGroups.Resource,\n"
           L"                          restored afterwards)\n"
           L"  --backend auto|ews|graph  service for the group queries in this run (setting\n"
           L"                          KOVAUnifiedGroups.Backend, restored afterwards; default auto:\n"
           L"                          EWS, or Microsoft Graph where EWS is refused)\n"
           L"  --graph-root URL        Microsoft Graph root for this run (setting KOVAUnifiedGroups.GraphRoot,\n"
           L"                          restored afterwards; default https://graph.microsoft.com/v1.0/)\n"
           L"  --profile NAME          mail profile reported to the filter (default Outlook)\n"
           L"  --folder-location TEXT  the folder's Tenbrid.FolderLocation; a third '!' field is a client id\n"
           L"                          (default KOVAUnifiedGroups!Unified Groups)\n"
           L"  --start-point TEXT      also describe the top folder with this start point\n"
           L"  --token TEXT            token the token library stand-in hands out for this run\n"
           L"  --progid ID             ProgID to create (default Quorval.SyncFilter.UnifiedGroups)\n"
           L"  --passes N              N passes (1 to 1000) on one filter object; prints each pass's requests\n"
           L"                          sent and wall time, and the items of the last pass\n"
           L"  --json                  one JSON object on standard output instead of the table\n"
           L"  --help                  this text\n"
           L"\n"
           L"Ctrl+C asks the filter to stop through the shutdown informer; a second Ctrl+C ends at once.\n"
           L"Exit status: 0 on success, 1 when a step of the pass fails, 2 for a bad command line.\n";
}
