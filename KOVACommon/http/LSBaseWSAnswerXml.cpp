// XML answers: the platform's parse of the answer, and when that fails, the
// cleaned text parsed again.
#include "KOVACommon/http/LSBaseWS.h"

#include "KOVACommon/xml/LSXmlDocument.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSDiag.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LogLongText.h"
#include "QuorvalCommon/hresult_exception.h"

namespace CLSBaseWS {

namespace {

// Logging only: an unreadable text must not hide the parse error it explains.
void LogResponseText(ILSHttpRequest& request)
{
    if (!LSDiag::ErrorEnabled())
        return;
    try
    {
        LS_LOG_LONG_ERROR(CStdStr(request.GetResponseText()));
    }
    catch (...)
    {
        LS_ERROR_LOG << "Response text exception";
    }
}

} // namespace

IXMLDOMDocument2Ptr SanitiseXMLDocument(ILSHttpRequest& request)
{
    const IXMLDOMDocument2Ptr document = request.GetResponseXML();
    if (!document)
        throw hresult_exception::Com(E_POINTER);
    IXMLDOMParseErrorPtr parseError;
    if (FAILED(document->get_parseError(&parseError)) || !parseError)
    {
        LS_ERROR_LOG << "Failed to parse XML but no parseError found!";
        ThrowHr(E_FAIL);
    }
    long code = 0;
    parseError->get_errorCode(&code);
    if (code == 0)
        return document;

    BSTR reason = nullptr;
    parseError->get_reason(&reason);
    const _bstr_t reasonText(reason, false);
    LS_ERROR_LOG << ToLogText(CStdStr::Format(L"XML parsing error - code %d, reason %ls", static_cast<int>(code),
                                              CStdStr(reasonText).c_str()));
    LogResponseText(request);
    return LSXmlDocument::SanitiseXMLDocument(CStdStr(request.GetResponseText()));
}

} // namespace CLSBaseWS
