#pragma once
// The tests' side of the EWS simulator's control API (/_sim/): script
// answers, read back what went on the wire. Talks to it with a synchronous
// platform XMLHTTP object of its own, not through the code under test.
#include <nlohmann/json.hpp>


#include <string>
#include <utility>
#include <vector>

struct SimRequest
{
    std::string method;
    std::string path;
    std::string query; // raw, without the "?"
    std::vector<std::pair<std::string, std::string>> headers; // wire order
    std::string body;
    size_t bodyLength = 0;
    size_t open = 0; // requests the simulator was answering when this one arrived, itself included

    // First header of that name (case-insensitive); empty when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

class EwsSimClient
{
public:
    // Port from EWS_SIM_PORT; 0 when the variable is missing.
    static int Port();
    // Port of one of the simulator's HTTPS listeners, from that variable; 0 when missing.
    static int PortFrom(const char* variable);
    static std::wstring BaseUrl();
    static std::wstring EwsUrl(); // the EWS endpoint
    // The second simulator (its own request log): where redirects point.
    static std::wstring SecondBaseUrl();
    static void ResetSecond();
    static std::vector<SimRequest> SecondRequests();

    static void Reset();
    // Appends one entry or an array of entries (JSON text) to the script queue.
    static void Script(const std::string& json);
    static std::vector<SimRequest> Requests();
    // "normal", "blocked" (403 to every EWS request) or "gone" (404).
    static void SetEwsMode(const std::string& mode);
    // Response messages with the "m:" prefix (true) or under a default namespace.
    static void SetPrefixedMessages(bool prefixed);
    static size_t PendingScriptEntries();
    // Waits (at most waitMs) until the simulator is answering no request, so
    // a case does not count what an earlier one left open; false when it
    // never got quiet.
    static bool WaitUntilQuiet(unsigned waitMs);
    // One request to the control API; its answer's text. Throws unless it
    // answers 200.
    static std::string Control(const wchar_t* method, const std::wstring& path, const std::string& body);

private:
    static nlohmann::json Call(const wchar_t* method, const std::wstring& path, const std::string& body);
    static nlohmann::json CallAt(const std::wstring& base, const wchar_t* method, const std::wstring& path,
                                 const std::string& body);
    static std::vector<SimRequest> RequestsAt(const std::wstring& base);
    static std::string Exchange(const std::wstring& base, const wchar_t* method, const std::wstring& path,
                                const std::string& body);
};
