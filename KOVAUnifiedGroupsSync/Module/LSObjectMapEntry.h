#pragma once
// One class the module serves: its identity, its registry entries and how to
// make an instance. The class factory is made on first request and cached.
#include <windows.h>
#include <atomic>

using LSCreatorFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** result);

struct LSObjectMapEntry
{
    const CLSID* clsid;
    LSCreatorFunction create; // entries without one are not served
    const wchar_t* progId;
    const wchar_t* versionIndependentProgId;
    const wchar_t* description;
    std::atomic<void*> cachedFactory{nullptr}; // EncodePointer'd IClassFactory*
};
