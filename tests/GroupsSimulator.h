#pragma once
// The EWS simulator of the test run (tools/ews-sim), driven through its
// control API: reset, dataset, refused tokens, scripted answers, request log.
#include <string>
#include <utility>
#include <vector>

struct SimGroup
{
    std::wstring id;
    std::wstring displayName;
    std::vector<std::pair<std::wstring, std::wstring>> resources; // name, url
};

struct SimRequest
{
    std::wstring method;
    std::wstring path;
    std::wstring body;
    std::vector<std::pair<std::wstring, std::wstring>> headers;
    // The value of a header (case-insensitive name); empty when absent.
    std::wstring Header(const std::wstring& name) const;
};

class GroupsSimulator
{
public:
    // "http://127.0.0.1:<EWS_SIM_PORT>/"
    static std::wstring BaseUrl();

    void Reset() const;
    void SetGroups(const std::vector<SimGroup>& groups) const;
    // 401 or 403 for every request carrying that token.
    void Refuse(const std::wstring& token, int status) const;
    std::vector<SimRequest> Requests() const;

private:
    std::wstring Post(const std::wstring& path, const std::wstring& json) const;
    std::wstring Get(const std::wstring& path) const;
};
