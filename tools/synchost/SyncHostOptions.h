#pragma once
// The harness's command line.
#include <optional>
#include <string>
#include <vector>

struct SyncHostOptions
{
    std::wstring progId = L"Quorval.SyncFilter.UnifiedGroups";
    std::wstring profile = L"Outlook";
    std::wstring folderLocation = L"KOVAUnifiedGroups!Unified Groups";
    std::optional<std::wstring> resource;   // written to KOVAUnifiedGroups.Resource for the run
    std::optional<std::wstring> backend;    // "Auto", "EWS" or "Graph", written to KOVAUnifiedGroups.Backend for the run
    std::optional<std::wstring> graphRoot;  // written to KOVAUnifiedGroups.GraphRoot for the run
    std::optional<std::wstring> startPoint; // the top folder is described when given
    std::optional<std::wstring> token;      // what the token library stand-in hands out
    std::optional<unsigned> passes;         // passes on one filter object, each with its figures
    bool json = false;
    bool help = false;
};

struct ParsedOptions
{
    SyncHostOptions options;
    std::wstring error; // empty when the command line is usable
};

ParsedOptions ParseSyncHostOptions(const std::vector<std::wstring>& arguments);
std::wstring SyncHostUsage();
