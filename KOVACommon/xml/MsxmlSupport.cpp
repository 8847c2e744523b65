// Interface identifiers that MinGW's msxml2.h declares but its uuid library
// does not define. The values are the platform's published ones; the others
// used by MsxmlPtrs.h (IXMLDOMDocument, IXMLDOMNode, ...) come from libuuid,
// and defining them here too would clash with its object file.
#include <windows.h>
#include <msxml2.h>

extern "C" {
const IID IID_IXMLDOMDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLHTTPRequest = {0xED8C108D, 0x4349, 0x11D2, {0x91, 0xA4, 0x00, 0xC0, 0x4F, 0x79, 0x69, 0xE8}};
}
