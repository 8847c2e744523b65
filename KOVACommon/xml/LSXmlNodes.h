#pragma once
// Reading parsed answers: the one way the component selects a node and takes
// its text. A DOM call that fails is a COM error carrying the object's error
// information (nothing read is silently lost); finding nothing is no failure.
#include "KOVACommon/xml/MsxmlPtrs.h"

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

// The namespace URI the node's name is bound to; empty for none.
std::wstring NamespaceOf(IXMLDOMNode* node);

// Names compared as the namespace defines them: by URI and local name, so
// whatever prefix (or default namespace) the writer chose reads the same.
// True only for an element of exactly that namespace and local name.
bool IsElement(IXMLDOMNode* node, const wchar_t* namespaceUri, const std::wstring& localName);

// The parent's first child element of that name; null when none (or no parent).
IXMLDOMNodePtr ChildElement(IXMLDOMNode* parent, const wchar_t* namespaceUri, const std::wstring& localName);

// The parent's first child element of each of these names, in the order of
// the names (null for a name not found), from one walk over the children.
std::vector<IXMLDOMNodePtr> ChildElements(IXMLDOMNode* parent, const wchar_t* namespaceUri,
                                          const std::vector<std::wstring>& localNames);

// The parent's child elements, every one, in document order.
std::vector<IXMLDOMNodePtr> ChildElements(IXMLDOMNode* parent);

// The first element below root, in document order, for which matches(node)
// is true; null when none. Walked without recursion.
template <typename Match>
IXMLDOMNodePtr FindDescendant(IXMLDOMNode* root, Match matches);

// The first element below root with that name, in document order.
IXMLDOMNodePtr FirstDescendant(IXMLDOMNode* root, const wchar_t* namespaceUri, const std::wstring& localName);

// The nodes below a root in document order, walked with a stack of its own
// (the platform's node objects have no identity to compare, and the
// thread's stack is not spent on deep answers).
class DocumentOrderWalk
{
public:
    explicit DocumentOrderWalk(IXMLDOMNode* root);
    // The next node; null at the end.
    IXMLDOMNodePtr Next();

private:
    std::vector<IXMLDOMNodePtr> m_pending; // per level: the next node to visit there
};

template <typename Match>
IXMLDOMNodePtr FindDescendant(IXMLDOMNode* root, Match matches)
{
    DocumentOrderWalk walk(root);
    for (IXMLDOMNodePtr node = walk.Next(); node; node = walk.Next())
    {
        if (matches(node.GetInterfacePtr()))
            return node;
    }
    return nullptr;
}

} // namespace LSXmlNodes
