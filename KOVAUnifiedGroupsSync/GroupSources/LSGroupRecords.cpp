#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupRecords.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/hresult_exception.h"

#include <objbase.h>

namespace LSGroupId {

GUID FromText(const std::wstring& text)
{
    const bool leaveAsIs = text.empty() || text.front() == L'{' || text.back() == L'}';
    const CStdStr braced = leaveAsIs ? CStdStr(text) : CStdStr::Format(L"{%s}", text.c_str());
    GUID id = {};
    const HRESULT hr = IIDFromString(braced.c_str(), &id);
    if (FAILED(hr))
        ThrowHr(hr);
    return id;
}

} // namespace LSGroupId
