#pragma once
// Registers the type library held in the module file (or in a .tlb file of
// the same path when the module holds none), machine-wide or for the user.
#include <string>

namespace LSTypeLibraryRegistration {

void Register(const std::wstring& modulePath, bool perUser);
void Unregister(const std::wstring& modulePath, bool perUser);

} // namespace LSTypeLibraryRegistration
