#pragma once
// What every group source hands the filter: the groups that are items and
// those that wait for their document library.
#include <windows.h>
#include <string>
#include <vector>

struct LSUnifiedGroup
{
    GUID id;
    std::wstring displayName;
    std::wstring url;
};

// A group whose document library does not exist yet (Graph answered 404
// or 403 for its drive): no item in this pass, and not deleted either.
struct LSWaitingGroup
{
    GUID id;
    std::wstring displayName;
    std::wstring message; // the service's own words
};

// One pass's answer: the groups that are items, and those that wait.
struct LSGroupList
{
    std::vector<LSUnifiedGroup> groups;
    std::vector<LSWaitingGroup> waiting;
};
