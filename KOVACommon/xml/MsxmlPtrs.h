#pragma once
// Smart pointers for the platform's XML DOM and XMLHTTP interfaces. MinGW's
// msxml2.h declares the interface identifiers without defining them; they are
// defined, from their published values, in MsxmlSupport.cpp.
#include <windows.h>
#include <comdef.h>
#include <msxml2.h>

#include "QuorvalCommon/ComPtrs.h"

_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument, IID_IXMLDOMDocument);
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument2, IID_IXMLDOMDocument2);
_COM_SMARTPTR_TYPEDEF(IXMLDOMNode, IID_IXMLDOMNode);
_COM_SMARTPTR_TYPEDEF(IXMLDOMNodeList, IID_IXMLDOMNodeList);
_COM_SMARTPTR_TYPEDEF(IXMLDOMElement, IID_IXMLDOMElement);
_COM_SMARTPTR_TYPEDEF(IXMLDOMParseError, IID_IXMLDOMParseError);
_COM_SMARTPTR_TYPEDEF(IXMLHTTPRequest, IID_IXMLHTTPRequest);

// The XMLHTTP object's ready states the component tells apart.
namespace XmlHttpReadyState {
constexpr long Opened = 1;
constexpr long Sent = 2;
constexpr long Receiving = 3;
constexpr long Completed = 4;
} // namespace XmlHttpReadyState
