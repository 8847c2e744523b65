#pragma once
// Module-wide facts of the stand-in DLL: its handle, its live-object count and
// the type information of IAuthTokenLibrary from its own embedded type library.
#include <windows.h>
#include <oleauto.h>
#include <string>

namespace StandInModule {

HMODULE Handle();
std::wstring FilePath();
void Lock();
void Unlock();
LONG LockCount();
// Loaded on first use; the caller receives its own reference.
HRESULT InterfaceTypeInfo(ITypeInfo** result);

} // namespace StandInModule
