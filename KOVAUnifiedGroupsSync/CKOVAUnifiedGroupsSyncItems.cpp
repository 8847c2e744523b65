// Item properties of the filter's groups and of its top folder.
#include "CKOVAUnifiedGroupsSync.h"

#include "HandleInterfaceException.h"

STDMETHODIMP CKOVAUnifiedGroupsSync::GetItemBasicProps(USHORT, ILSPropertyMap*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CKOVAUnifiedGroupsSync::SetItemProperties(USHORT, ILSPropertyMap*)
{
    return E_NOTIMPL;
}
