// The field-set descriptor the filter hands out.
#include "CKOVAUnifiedGroupsSync.h"

#include "HandleInterfaceException.h"

STDMETHODIMP CKOVAUnifiedGroupsSync::GetFieldSetInfo(BSTR, ILSKOVAFieldSetInfo**)
{
    return E_NOTIMPL;
}
