#pragma once
// Reading a received body the way XMLHTTP reads it, for a platform object
// that only hands out bytes: text by byte-order mark, then by the charset of
// the content type, else UTF-8; XML by the document's own encoding.
#include "MsxmlPtrs.h"

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
std::wstring Decode(const Bytes& bytes, const std::wstring& contentType);
// A parse failure leaves the document with its parse error, as XMLHTTP does.
IXMLDOMDocument2Ptr LoadDocument(const _variant_t& body);

} // namespace LSResponseText
