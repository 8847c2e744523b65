#pragma once
// Owner of a WinHTTP handle (session, connection, request), and its failures.
#include "QuorvalCommon/UniqueHandles.h"

#include <winhttp.h>

using UniqueInternetHandle = UniqueHandleT<NullHandleTraits<HINTERNET, &WinHttpCloseHandle>>;

// The failure a WinHTTP function just reported.
inline HRESULT LastWinHttpError()
{
    return HRESULT_FROM_WIN32(GetLastError());
}
