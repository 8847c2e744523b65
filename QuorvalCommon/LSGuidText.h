#pragma once
// GUIDs as text: the registry form the component writes, and the forms the
// services send.
#include "QuorvalCommon/CStdStr.h"

#include <windows.h>
#include <string>

namespace LSGuidText {

// The registry text form: braces, upper-case hex, 38 characters.
CStdStr ToRegistryText(const GUID& id);
// A GUID from its text with or without braces; the parser's HRESULT is thrown
// as a bare code for any other text.
GUID FromText(const std::wstring& text);

} // namespace LSGuidText
