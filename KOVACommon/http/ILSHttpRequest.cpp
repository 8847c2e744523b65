#include "KOVACommon/http/ILSHttpRequest.h"

#include "KOVACommon/http/LSAnswerWait.h"

void ILSHttpRequest::PerformAsyncVariantSend(const std::wstring& url, const _variant_t& body, bool checkFpRpcStatus,
                                             ILSShutdownInformerPtr& shutdownInformer, bool tolerate404,
                                             bool logResponseBody)
{
    StartSend(url, body, shutdownInformer);
    LSAnswerWait::WaitForAnswer(*this, url, shutdownInformer);
    FinishSend(url, shutdownInformer, LSAnswerChecks{checkFpRpcStatus, tolerate404, logResponseBody});
}
