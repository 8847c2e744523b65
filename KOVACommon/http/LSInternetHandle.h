#pragma once
// Owner of a WinHTTP handle (session, connection, request).
#include "QuorvalCommon/UniqueHandles.h"

#include <winhttp.h>

using UniqueInternetHandle = UniqueHandleT<NullHandleTraits<HINTERNET, &WinHttpCloseHandle>>;
