#pragma once
// The pass as people read it (a table) or as programs read it (JSON).
#include "SyncHostPass.h"

#include <string>

// "0x" and eight hexadecimal digits.
std::string HresultText(HRESULT hr);

std::string FormatTable(const SyncPassReport& report, const SyncHostOptions& options);
std::string FormatJson(const SyncPassReport& report);
// The failure line: step, HRESULT and the system's message for it.
std::string FormatFailure(const SyncPassReport& report);
