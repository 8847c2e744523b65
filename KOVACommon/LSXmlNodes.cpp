#include "LSXmlNodes.h"

#include "CStdStr.h"
#include "hresult_exception.h"

#include <cstdint>

namespace LSXmlNodes {

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
    BSTR raw = nullptr;
    const HRESULT hr = node->get_text(&raw);
    _bstr_t text(raw, false);
    ThrowIfFailedCom(hr, node, IID_IXMLDOMNode);
    return CStdStr::FromBSTR(text.GetBSTR());
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
    BSTR raw = nullptr;
    const HRESULT hr = node->get_baseName(&raw);
    _bstr_t name(raw, false);
    ThrowIfFailedCom(hr, node, IID_IXMLDOMNode);
    return CStdStr::FromBSTR(name.GetBSTR());
}

} // namespace LSXmlNodes
