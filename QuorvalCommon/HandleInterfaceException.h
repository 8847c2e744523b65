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

// The boundary pair every COM entry point, export and token-library call uses:
//   LS_COM_BOUNDARY_BEGIN body LS_COM_BOUNDARY_END("Class::Method")
// returns the handler's HRESULT from the enclosing function. The _THEN form
// reports and then runs its statements (a fallback value, a rethrow, or
// nothing when the caller goes on); the _TEXT form also fills an error text.
#define LS_COM_BOUNDARY_BEGIN try {
#define LS_COM_BOUNDARY_END(qualifiedName) \
    } catch (...) { return HandleInterfaceException(qualifiedName, __FILE__, __LINE__); }
#define LS_COM_BOUNDARY_END_THEN(qualifiedName, ...) \
    } catch (...) { HandleInterfaceException(qualifiedName, __FILE__, __LINE__); __VA_ARGS__; }
#define LS_COM_BOUNDARY_END_TEXT(qualifiedName, errorText) \
    } catch (...) { HandleInterfaceException(qualifiedName, __FILE__, __LINE__, errorText); }

// An entry point that hands out a value that cannot fail to be made.
template <typename T>
HRESULT LSStoreValue(T* out, T value) noexcept
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}

// An entry point that hands out one value: E_POINTER without a place for it,
// else the value made, a failure to make it reported at the boundary.
template <typename T, typename MakeValue>
HRESULT LSStoreOut(T* out, const char* qualifiedName, MakeValue makeValue)
{
    LS_COM_BOUNDARY_BEGIN
    if (!out)
        return E_POINTER;
    *out = makeValue();
    return S_OK;
    LS_COM_BOUNDARY_END(qualifiedName)
}
