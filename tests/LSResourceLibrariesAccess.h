#pragma once
// Test access to the resource libraries' process-wide state: cases load them
// from folders of their own and leave the process as a fresh one.
#include "QuorvalCommon/LSResourceLibraries.h"

#include <string>

class LSResourceLibrariesAccess
{
public:
    // Forgets the once-per-process values and the recorded modules.
    static void Reset() { LSResourceLibrariesState::Forget(); }
    // As if InstallDir had held the folder.
    static void SetInstallFolder(const std::wstring& folder) { LSResourceLibrariesState::FixInstallFolder(folder); }
};
