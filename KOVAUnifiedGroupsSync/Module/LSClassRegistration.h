#pragma once
// The registry entries of one served class under a classes root
// (HKLM\Software\Classes, or HKCU\Software\Classes per user): its ProgID, its
// version-independent ProgID and its CLSID key.
#include "KOVAUnifiedGroupsSync/Module/LSObjectMapEntry.h"

#include <windows.h>
#include <string>

namespace LSClassRegistration {

void Register(HKEY classesRoot, const LSObjectMapEntry& entry, const std::wstring& modulePath, const GUID& libId);
// Removes what Register wrote; keys someone else added below a ProgID stay.
void Unregister(HKEY classesRoot, const LSObjectMapEntry& entry);

} // namespace LSClassRegistration
