#include "QuorvalCommon/hresult_exception.h"

#include <oleauto.h>

namespace {

_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, IID_ISupportErrorInfo);
_COM_SMARTPTR_TYPEDEF(IErrorInfo, IID_IErrorInfo);

// The error information the object left for this interface; none when it
// offers none, or it describes another call.
std::wstring ObjectDescription(IUnknown* object, REFIID iid)
{
    if (!object)
        return std::wstring();
    ISupportErrorInfoPtr support;
    if (FAILED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) || !support)
        return std::wstring();
    IErrorInfoPtr info;
    if (support->InterfaceSupportsErrorInfo(iid) != S_OK || GetErrorInfo(0, &info) != S_OK || !info)
        return std::wstring();
    BSTR description = nullptr;
    if (FAILED(info->GetDescription(&description)))
        return std::wstring();
    const _bstr_t text(description, false);
    return text.length() ? std::wstring(static_cast<const wchar_t*>(text), text.length()) : std::wstring();
}

} // namespace

hresult_exception hresult_exception::Com(HRESULT hr, std::wstring description)
{
    hresult_exception failure(hr, std::string(), Shape::Com);
    failure.m_description = std::move(description);
    return failure;
}

void ThrowIfFailedCom(HRESULT hr, IUnknown* object, REFIID iid)
{
    if (FAILED(hr))
        throw hresult_exception::Com(hr, ObjectDescription(object, iid));
}
