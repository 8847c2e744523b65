#include "QuorvalCommon/LSGuidText.h"

#include "QuorvalCommon/hresult_exception.h"

#include <objbase.h>

namespace LSGuidText {

CStdStr ToRegistryText(const GUID& id)
{
    wchar_t buffer[64] = {};
    if (StringFromGUID2(id, buffer, 64) == 0)
        ThrowHr(E_INVALIDARG);
    return CStdStr(buffer);
}

GUID FromText(const std::wstring& text)
{
    // Braced unless it already starts or ends with a brace, so a half-braced
    // text still fails.
    const bool leaveAsIs = text.empty() || text.front() == L'{' || text.back() == L'}';
    const CStdStr braced = leaveAsIs ? CStdStr(text) : CStdStr(L"{" + text + L"}");
    GUID id = {};
    const HRESULT hr = IIDFromString(braced.c_str(), &id);
    if (FAILED(hr))
        ThrowHr(hr);
    return id;
}

} // namespace LSGuidText
