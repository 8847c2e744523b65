#pragma once
// The groups the EWS simulator serves and the tokens it refuses, set through
// its control API; the request log and reset come from EwsSimClient.
#include "EwsSimClient.h"

#include <string>
#include <utility>
#include <vector>

// The simulator's HTTPS listeners (same groups, script and request log as the
// plain one): a certificate for localhost from the CA trusted in the prefix,
// one from a CA the prefix does not trust, and one for another host name.
enum class SimHttps
{
    Trusted,
    UntrustedCa,
    WrongName,
};

struct SimGroup
{
    std::wstring id;
    std::wstring displayName;
    std::vector<std::pair<std::wstring, std::wstring>> resources; // name, url
    bool unified = true; // false: left out by EWS, listed by Graph without "Unified"
    bool omitId = false; // listed without its ExternalDirectoryObjectId
    bool omitDisplayName = false; // listed without its DisplayName
};

class GroupsSimulator
{
public:
    // The simulator as a service root: "http://127.0.0.1:<port>/".
    static std::wstring ServiceRoot() { return EwsSimClient::BaseUrl() + L"/"; }

    static void Reset() { EwsSimClient::Reset(); }
    static void SetGroups(const std::vector<SimGroup>& groups);
    // 401 or 403 for every request carrying that token.
    static void Refuse(const std::wstring& token, int status);
    static std::vector<SimRequest> Requests() { return EwsSimClient::Requests(); }
    // The simulator's Graph root: "http://127.0.0.1:<port>/v1.0/".
    static std::wstring GraphRoot() { return EwsSimClient::BaseUrl() + L"/v1.0/"; }
    // An HTTPS listener as a service root: "https://localhost:<port>/".
    static std::wstring HttpsRoot(SimHttps listener);
    // Graph settings (JSON object: pageSize, batchOrder, seed, throttle).
    static void SetGraph(const std::wstring& json) { Post(L"/_sim/graph", json); }
    // How EWS answers are written (JSON object: typesPrefixed, groupsSets,
    // totalGroups, filterType); Reset restores the plain shape.
    static void SetEwsShape(const std::wstring& json) { Post(L"/_sim/ews-shape", json); }
    // Every answer from now on waits that long (Reset restores the start-up delay).
    static void SetAnswerDelay(int ms) { Post(L"/_sim/delay", L"{\"ms\":" + std::to_wstring(ms) + L"}"); }

private:
    static void Post(const std::wstring& path, const std::wstring& json);
};
