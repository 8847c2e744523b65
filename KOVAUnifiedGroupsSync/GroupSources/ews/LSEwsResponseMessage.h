#pragma once
// The response message of an EWS operation. EWS reports most failures of an
// operation with HTTP 200 and a message whose ResponseClass is "Error"; such
// an answer must never be read as an empty result.
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <string>

namespace LSEwsResponseMessage {

// What the answer's response message must say.
enum class Expect
{
    // The whole list: the message is required, and a "Warning" (a partial
    // answer, such as ErrorPartialResult) fails like an error.
    WholeList,
    // One record: a missing message passes, a "Warning" is logged and passes.
    Record,
};

// Passes when the answer's <operation>ResponseMessage says "Success" (or
// "Warning" for a record), and returns that message (null when a record's
// answer has none). ErrorServerBusy throws a throttling LSHttpError with the
// server's back-off; any other class fails with an error line naming the
// operation, class, code and text. The message and its members are found by
// namespace and local name, whatever prefix the server gave them.
IXMLDOMNodePtr Check(IXMLDOMDocument2* document, const std::wstring& operation, Expect expect);

} // namespace LSEwsResponseMessage
