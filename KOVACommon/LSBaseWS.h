#pragma once
// The request/response cycle of every web-service call: open with the SOAP
// content type, send and wait (pumping messages, honouring shutdown), retry
// throttling answers, turn unsuccessful answers into LSHttpError, and parse
// XML answers.
#include "ILSHttpRequest.h"
#include "MsxmlPtrs.h"

#include <cstdint>
#include <functional>
#include <string>

class LSHttpError;

namespace CLSBaseWS {

ILSHttpRequestPtr OpenRequest(const std::wstring& url, const std::wstring& method, bool setSoapContentType);
void PerformAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body,
                      ILSShutdownInformerPtr& shutdownInformer);
void PerformAsyncVariantSend(ILSHttpRequestPtr& request, const std::wstring& url, const _variant_t& body,
                             ILSShutdownInformerPtr& shutdownInformer);
// One attempt that does not wait: wait with LSAnswerWait, then call the
// request's FinishSend. No throttling retry: the caller decides.
void StartAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body,
                    ILSShutdownInformerPtr& shutdownInformer);
void ThrowErrorMessage(ILSHttpRequest& request, bool checkFpRpcStatus, ILSShutdownInformerPtr& shutdownInformer,
                       bool tolerate404, bool logResponseBody);
// 503, 429, or a server's own "busy" answer.
bool IsThrottling(const LSHttpError& error);
// Runs attempt until it succeeds, retrying the throttling answers that
// isThrottling picks (at most five attempts in all, light-sync mode on).
void RetryOnServerUnavailable(ILSShutdownInformerPtr& shutdownInformer, const std::function<void()>& attempt,
                              bool (*isThrottling)(const LSHttpError&) = IsThrottling);
void InterruptibleDelay(ILSShutdownInformerPtr& shutdownInformer, uint64_t milliseconds);
void CheckHealthScore(ILSHttpRequest& request, ILSShutdownInformerPtr& shutdownInformer);

// The host's informer: a failed call becomes a COM error carrying the
// informer's own error information. No informer: no shutdown.
void CheckInformerResult(ILSShutdownInformerPtr& shutdownInformer, HRESULT hr);
bool ShutdownRequested(ILSShutdownInformerPtr& shutdownInformer);

// XML answers
IXMLDOMDocument2Ptr CreateDOMDocument(const std::wstring& text);
IXMLDOMDocument2Ptr SanitiseXMLDocument(ILSHttpRequest& request);
IXMLDOMDocument2Ptr SanitiseXMLDocument(const std::wstring& text);
std::wstring CleanXmlText(const std::wstring& text);
std::wstring decodeFPRpcString(const std::wstring& text);
uint64_t GetContentLength(ILSHttpRequest& request);

// Test seam: the once-per-process settings of the exchange and of the health
// score are read again on their next use.
void ForgetOnceSettingsForTest();

} // namespace CLSBaseWS
