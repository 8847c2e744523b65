#pragma once
// What a server writes is parsed as data, never as instructions to the
// parser: every document is set up to refuse document type declarations,
// external resources and unbounded depth or size before it loads anything,
// and a text holding a document type declaration, or a processing
// instruction other than the XML declaration, is refused before any parser
// sees it (the platform's parser may not honour every setting: Wine's
// expands entities whatever ProhibitDTD says). SOAP answers never carry
// either.
#include "KOVACommon/xml/MsxmlPtrs.h"
#include "QuorvalCommon/hresult_exception.h"

#include <string>

namespace LSSafeXml {

// The largest text a document loads, in kilobytes of the loaded text (two
// bytes a character): 64 MB, so every answer within the transport's limit
// (LSAnswerLimits, which checks that it fits) loads whatever its characters.
constexpr long MostXmlKilobytes = 64 * 1024;

// A text refused before parsing: HRESULT_FROM_WIN32(ERROR_INVALID_DATA).
class Refused : public hresult_exception
{
public:
    using hresult_exception::hresult_exception;
};

// Sets the document up for untrusted text: no DTD, no external resources,
// no validation, depth and size bounded, no document() in transformations,
// synchronous loading. A property the platform's parser does not know is
// named in a warning line, once per process (the checks here stand in for
// it); any other failure throws the COM error.
void Harden(IXMLDOMDocument2* document);

// Error line and Refused for a text holding "<!DOCTYPE" (in any case), "<?"
// anywhere but a leading XML declaration, or a shape that would hold the
// parser far longer than its size suggests (more than 64 attributes on an
// element or namespace declarations in force, more than 1,000,000 elements).
void RefuseUnsafeMarkup(const std::wstring& text);

} // namespace LSSafeXml
