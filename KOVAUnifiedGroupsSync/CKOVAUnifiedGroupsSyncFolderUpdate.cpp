// The folder update that refreshes the filter's list of groups.
#include "CKOVAUnifiedGroupsSync.h"

#include "HandleInterfaceException.h"

STDMETHODIMP CKOVAUnifiedGroupsSync::PreContentSyncFolderUpdate(ILSPropertyMap*)
{
    m_startPoint.clear();
    return E_NOTIMPL;
}
