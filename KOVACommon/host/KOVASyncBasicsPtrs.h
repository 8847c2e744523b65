#pragma once
// Smart pointers for the host's interfaces.
#include <windows.h>
#include <comdef.h>

#include "KOVASyncBasicsLib.h"
#include "QuorvalCommon/ComPtrs.h"

_COM_SMARTPTR_TYPEDEF(ILSPropertyMap, __uuidof(ILSPropertyMap));
_COM_SMARTPTR_TYPEDEF(ILSShutdownInformer, __uuidof(ILSShutdownInformer));
_COM_SMARTPTR_TYPEDEF(ILSSyncFilter, __uuidof(ILSSyncFilter));
_COM_SMARTPTR_TYPEDEF(ILSSyncFilter2, __uuidof(ILSSyncFilter2));
_COM_SMARTPTR_TYPEDEF(ILSDeleteableSyncFilter, __uuidof(ILSDeleteableSyncFilter));
_COM_SMARTPTR_TYPEDEF(ILSManualDeletionsSyncFilter, __uuidof(ILSManualDeletionsSyncFilter));
_COM_SMARTPTR_TYPEDEF(ILSNeedsShutdownInfo, __uuidof(ILSNeedsShutdownInfo));
_COM_SMARTPTR_TYPEDEF(ILSKOVAFieldSetInfo, __uuidof(ILSKOVAFieldSetInfo));
_COM_SMARTPTR_TYPEDEF(ILSKOVAFieldInfo, __uuidof(ILSKOVAFieldInfo));
