#pragma once
// The response message of an EWS operation. EWS reports most failures of an
// operation with HTTP 200 and a message whose ResponseClass is "Error"; such
// an answer must never be read as an empty result.
#include "MsxmlPtrs.h"

#include <string>

namespace LSEwsResponseMessage {

// Passes when the answer's <operation>ResponseMessage says "Success", or
// "Warning" (logged). ErrorServerBusy throws a throttling LSHttpError with
// the server's back-off; any other class fails with an error line naming the
// operation, class, code and text. A missing message fails too when
// required, and passes otherwise.
void Check(IXMLDOMDocument2* document, const std::wstring& operation, bool required);

} // namespace LSEwsResponseMessage
