#pragma once
// Reading a received body the way XMLHTTP reads it, for a platform object
// that only hands out bytes: text by byte-order mark, then by the charset of
// the content type, else UTF-8; XML by the document's own encoding.
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <cstddef>
#include <string>

namespace LSResponseText {

struct Bytes
{
    const char* data = nullptr;
    size_t size = 0;
};

// The bytes of a one-dimensional byte array (empty for anything else); they
// live as long as the variant.
Bytes BytesOf(const _variant_t& body);
// The other way: a byte array holding a copy of the bytes (E_FAIL with an
// error line above the 4 GB such an array can count).
_variant_t ByteArray(const std::string& bytes);
std::wstring Decode(const Bytes& bytes, const std::wstring& contentType);
// An XML body's text: by byte-order mark, UTF-16 told by its first
// character, else the encoding its declaration names (UTF-8 without one, or
// for one not known here).
std::wstring XmlText(const Bytes& bytes);
// The text checked (LSSafeXml, which may refuse it) and parsed by a document
// set up for untrusted text. A parse failure leaves the document with its
// parse error, as XMLHTTP does.
IXMLDOMDocument2Ptr LoadDocument(const _variant_t& body);

} // namespace LSResponseText
