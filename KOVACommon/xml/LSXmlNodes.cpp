#include "KOVACommon/xml/LSXmlNodes.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cstdint>

namespace LSXmlNodes {

namespace {

// One of the node's text properties, the returned BSTR owned before the
// result is checked so a failure cannot leak it.
std::wstring NodeProperty(IXMLDOMNode* node, HRESULT (STDMETHODCALLTYPE IXMLDOMNode::*get)(BSTR*))
{
    BSTR raw = nullptr;
    const HRESULT hr = (node->*get)(&raw);
    _bstr_t owned(raw, false);
    ThrowIfFailedCom(hr, node, IID_IXMLDOMNode);
    return CStdStr::FromBSTR(owned.GetBSTR());
}

} // namespace

IXMLDOMNodePtr SelectSingle(IXMLDOMNode* context, const std::wstring& query)
{
    IXMLDOMNodePtr node;
    ThrowIfFailedCom(context->selectSingleNode(_bstr_t(query.c_str()), &node), context, IID_IXMLDOMNode);
    return node;
}

std::wstring TextOf(IXMLDOMNode* node)
{
    if (!node)
        return std::wstring();
    return NodeProperty(node, &IXMLDOMNode::get_text);
}

std::wstring AttributeText(IXMLDOMNode* node, const wchar_t* name)
{
    const IXMLDOMElementPtr element = node;
    if (!element)
        return std::wstring();
    _variant_t value;
    ThrowIfFailedCom(element->getAttribute(_bstr_t(name), &value), element, IID_IXMLDOMElement);
    return value.vt == VT_BSTR ? CStdStr::FromBSTR(value.bstrVal) : std::wstring();
}

std::vector<IXMLDOMElementPtr> ElementsNamed(IXMLDOMDocument2* document, const std::wstring& localName, size_t most)
{
    std::vector<IXMLDOMElementPtr> found;
    IXMLDOMNodeListPtr nodes;
    ThrowIfFailedCom(document->selectNodes(_bstr_t(L"//*"), &nodes), document, IID_IXMLDOMDocument2);
    IXMLDOMNodePtr node;
    while (found.size() < most && nodes && nodes->nextNode(&node) == S_OK && node)
    {
        const IXMLDOMElementPtr element = node;
        if (element && LocalName(element) == localName)
            found.push_back(element);
        node = nullptr;
    }
    return found;
}

std::wstring LocalName(IXMLDOMNode* node)
{
    return NodeProperty(node, &IXMLDOMNode::get_baseName);
}

std::wstring NamespaceOf(IXMLDOMNode* node)
{
    return NodeProperty(node, &IXMLDOMNode::get_namespaceURI);
}

bool IsElement(IXMLDOMNode* node, const wchar_t* namespaceUri, const std::wstring& localName)
{
    if (!node)
        return false;
    DOMNodeType type = NODE_INVALID;
    ThrowIfFailedCom(node->get_nodeType(&type), node, IID_IXMLDOMNode);
    return type == NODE_ELEMENT && LocalName(node) == localName && NamespaceOf(node) == namespaceUri;
}

IXMLDOMNodePtr ChildElement(IXMLDOMNode* parent, const wchar_t* namespaceUri, const std::wstring& localName)
{
    return ChildElements(parent, namespaceUri, std::vector<std::wstring>{localName}).front();
}

std::vector<IXMLDOMNodePtr> ChildElements(IXMLDOMNode* parent, const wchar_t* namespaceUri,
                                          const std::vector<std::wstring>& localNames)
{
    std::vector<IXMLDOMNodePtr> found(localNames.size());
    size_t missing = localNames.size();
    IXMLDOMNodePtr child;
    if (parent)
        ThrowIfFailedCom(parent->get_firstChild(&child), parent, IID_IXMLDOMNode);
    // Answers are large: each child costs its type and name, and only a
    // name asked for its namespace.
    while (child && missing > 0)
    {
        DOMNodeType type = NODE_INVALID;
        ThrowIfFailedCom(child->get_nodeType(&type), child, IID_IXMLDOMNode);
        const std::wstring name = type == NODE_ELEMENT ? LocalName(child) : std::wstring();
        for (size_t i = 0; i < localNames.size(); ++i)
            if (!found[i] && !name.empty() && name == localNames[i] && NamespaceOf(child) == namespaceUri)
            {
                found[i] = child;
                --missing;
            }
        IXMLDOMNodePtr next;
        ThrowIfFailedCom(child->get_nextSibling(&next), child, IID_IXMLDOMNode);
        child = next;
    }
    return found;
}

std::vector<IXMLDOMNodePtr> ChildElements(IXMLDOMNode* parent)
{
    std::vector<IXMLDOMNodePtr> elements;
    IXMLDOMNodePtr child;
    if (parent)
        ThrowIfFailedCom(parent->get_firstChild(&child), parent, IID_IXMLDOMNode);
    while (child)
    {
        DOMNodeType type = NODE_INVALID;
        ThrowIfFailedCom(child->get_nodeType(&type), child, IID_IXMLDOMNode);
        if (type == NODE_ELEMENT)
            elements.push_back(child);
        IXMLDOMNodePtr next;
        ThrowIfFailedCom(child->get_nextSibling(&next), child, IID_IXMLDOMNode);
        child = next;
    }
    return elements;
}

IXMLDOMNodePtr FirstDescendant(IXMLDOMNode* root, const wchar_t* namespaceUri, const std::wstring& localName)
{
    return FindDescendant(root, [&](IXMLDOMNode* node) { return IsElement(node, namespaceUri, localName); });
}

DocumentOrderWalk::DocumentOrderWalk(IXMLDOMNode* root)
{
    IXMLDOMNodePtr first;
    if (root)
        ThrowIfFailedCom(root->get_firstChild(&first), root, IID_IXMLDOMNode);
    m_pending.push_back(first);
}

IXMLDOMNodePtr DocumentOrderWalk::Next()
{
    while (!m_pending.empty() && !m_pending.back())
        m_pending.pop_back();
    if (m_pending.empty())
        return nullptr;
    IXMLDOMNodePtr node = m_pending.back();
    IXMLDOMNodePtr sibling;
    ThrowIfFailedCom(node->get_nextSibling(&sibling), node, IID_IXMLDOMNode);
    m_pending.back() = sibling;
    IXMLDOMNodePtr child;
    ThrowIfFailedCom(node->get_firstChild(&child), node, IID_IXMLDOMNode);
    m_pending.push_back(child);
    return node;
}

} // namespace LSXmlNodes
