#pragma once
// The pass as people read it (a table) or as programs read it (JSON).
#include "SyncHostPass.h"

#include <string>

// "0x" and eight hexadecimal digits.
std::string HresultText(HRESULT hr);

// With --passes, each pass's requests and wall time follow the items of
// the last pass (the table's "Pass Requests Wall ms", JSON's "passes").
std::string FormatTable(const SyncPassReport& report, const SyncHostOptions& options);
std::string FormatJson(const SyncPassReport& report, const SyncHostOptions& options);
// The failure line: the pass (with --passes), step, HRESULT and the system's message for it.
std::string FormatFailure(const SyncPassReport& report, const SyncHostOptions& options);
