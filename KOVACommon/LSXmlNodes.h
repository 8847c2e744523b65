#pragma once
// Reading parsed answers: the one way the component selects a node and takes
// its text. A DOM call that fails is a COM error carrying the object's error
// information (nothing read is silently lost); finding nothing is no failure.
#include "MsxmlPtrs.h"

#include <cstddef>
#include <string>
#include <vector>

namespace LSXmlNodes {

// The first node the query selects under context, in document order; null
// when nothing matches.
IXMLDOMNodePtr SelectSingle(IXMLDOMNode* context, const std::wstring& query);

// The node's text as the DOM gives it (leading and trailing white space
// dropped); empty for a null node, so a missing optional element reads as
// empty. Callers that need the node check SelectSingle's answer themselves.
std::wstring TextOf(IXMLDOMNode* node);

// The value of the element's attribute; empty when the node is no element or
// has no such attribute.
std::wstring AttributeText(IXMLDOMNode* node, const wchar_t* name);

// The document's elements with that local name, in document order, at most
// `most` of them (the walk stops there). By local name: answers carry
// namespace prefixes of the server's choosing.
std::vector<IXMLDOMElementPtr> ElementsNamed(IXMLDOMDocument2* document, const std::wstring& localName,
                                             size_t most = SIZE_MAX);

// The node's local name, without any namespace prefix.
std::wstring LocalName(IXMLDOMNode* node);

} // namespace LSXmlNodes
