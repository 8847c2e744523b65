#pragma once
// One sync pass as the host engine runs it: create the filter by ProgID,
// hand it a shutdown informer, report the profile, update the folder, read
// every item's basic and full properties, and the top folder's when a start
// point is given.
#include "SyncHostOptions.h"
#include "external/HostObjects/LSHostPropertyMap.h"
#include "external/HostObjects/LSHostShutdownInformer.h"

#include <windows.h>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The properties the filter wrote into one map, in the order of their
// first write.
using PropertyList = std::vector<std::pair<std::wstring, LSHostPropertyMap::Value>>;

struct ItemProperties
{
    PropertyList basic;
    PropertyList full;
};

// A listed group that waits for its document library: no item this pass.
struct WaitingGroup
{
    std::wstring id;
    std::wstring name;
    std::wstring message;
};

// What one pass cost: the requests the filter says it sent (none when it
// does not say) and the wall time from the folder update to the last item.
struct PassFigures
{
    std::optional<unsigned long> requests;
    double wallMs = 0;
};

struct SyncPassReport
{
    HRESULT hr = S_OK;
    std::wstring failedStep; // the filter call (or set-up step) that failed
    std::wstring backend; // "EWS" or "Graph", as the filter reports it: the service that produced the list
    std::optional<unsigned> itemCount;
    std::vector<ItemProperties> items;
    std::vector<WaitingGroup> waiting;
    std::optional<ItemProperties> topFolder;
    std::vector<PassFigures> passes; // of the passes that completed
    unsigned failedPass = 0; // 1-based; 0 when no pass failed
};

// Runs the filter's creation (passed as create) with whatever must hold only
// for that instant.
using AroundCreation = std::function<void(const std::function<void()>& create)>;

SyncPassReport RunSyncPass(const SyncHostOptions& options, LSHostShutdownInformer& informer,
                           const AroundCreation& aroundCreation);

// Values the filter wrote, in write order; failed writes are left out.
PropertyList WrittenProperties(const LSHostPropertyMap& map);
