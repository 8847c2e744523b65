#pragma once
// Documents parsed by the platform's DOM (msxml2.DOMDocument), set up for
// untrusted text (LSSafeXml), and when a parse fails, the text cleaned of
// characters XML forbids and parsed again.
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <string>

namespace LSXmlDocument {

// A hardened document, loaded with the text unless it is empty. When the
// platform gives no document: null for an empty text, else E_POINTER (COM
// error). The outcome of the load is the caller's to read (parseError); a text
// LSSafeXml refuses throws LSSafeXml::Refused.
IXMLDOMDocument2Ptr CreateDOMDocument(const std::wstring& text);
// The text cleaned (CleanXmlText) and parsed; E_FAIL when it still does not
// load (logged), LSSafeXml::Refused for unsafe markup.
IXMLDOMDocument2Ptr SanitiseXMLDocument(const std::wstring& text);
// Characters XML forbids, and references to them, become line feeds;
// everything else stays as written.
std::wstring CleanXmlText(const std::wstring& text);

} // namespace LSXmlDocument
