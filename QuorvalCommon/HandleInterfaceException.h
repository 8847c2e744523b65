#pragma once
// The one place where exceptions become HRESULTs: every COM entry point calls
// it from its catch-all. It must be called while an exception is in flight.
#include <windows.h>
#include <string>

HRESULT HandleInterfaceException(const char* functionName, const char* sourceFile, int line,
                                 std::wstring* errorText = nullptr) noexcept;

// The system's message for an HRESULT in the neutral language, inserts ignored,
// trailing line break removed; a generated text when the system has none.
std::wstring SystemMessageText(HRESULT hr);

#define LS_COM_BOUNDARY_BEGIN try {
#define LS_COM_BOUNDARY_END(qualifiedName) \
    } catch (...) { return HandleInterfaceException(qualifiedName, __FILE__, __LINE__); }
