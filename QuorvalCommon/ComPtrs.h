#pragma once
// Smart pointers for the two interfaces every COM layer uses. MinGW's
// comdef.h leaves them out, and each may be declared only once.
#include <windows.h>
#include <comdef.h>

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IDispatch, __uuidof(IDispatch));
