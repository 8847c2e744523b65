#pragma once
// The request/response cycle of every web-service call: open with the SOAP
// content type, send and wait (pumping messages, honouring shutdown), retry
// throttling answers once per exchange, turn unsuccessful answers into
// LSHttpError, and parse XML answers.
#include "KOVACommon/http/ILSHttpRequest.h"
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <cstdint>
#include <functional>
#include <string>

class LSHttpError;

namespace CLSBaseWS {

ILSHttpRequestPtr OpenRequest(const std::wstring& url, const std::wstring& method, bool setSoapContentType);
// Opens a request ready to send: every attempt of an exchange gets a fresh one.
using RequestOpener = std::function<ILSHttpRequestPtr()>;
// Reads a successful answer; may still throw LSHttpError (a busy answer in
// the body is throttling too).
using AnswerReader = std::function<void(ILSHttpRequest&)>;

// One exchange: a fresh request from open for every attempt, sent with body
// and waited for, its answer checked and read; throttling retried under
// RetryOnServerUnavailable. Returns the request that carried the answer.
ILSHttpRequestPtr Exchange(const RequestOpener& open, const std::wstring& url, const std::wstring& body,
                           ILSShutdownInformerPtr& shutdownInformer, const AnswerReader& read = nullptr);
// One attempt, start to finish (StartAsyncSend, the wait, FinishSend): no retry.
void PerformAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body,
                      ILSShutdownInformerPtr& shutdownInformer);
// One attempt that does not wait: wait with LSAnswerWait, then call the
// request's FinishSend.
void StartAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body,
                    ILSShutdownInformerPtr& shutdownInformer);
void ThrowErrorMessage(ILSHttpRequest& request, ILSShutdownInformerPtr& shutdownInformer, bool logResponseBody);
// 503, 429, or a server's own "busy" answer (an EWS busy fault or busy
// response message, a throttled Graph batch).
bool IsThrottling(const LSHttpError& error);
// The one retry policy: runs attempt until it succeeds, retrying throttling
// answers (at most five attempts in all, light-sync mode on at each) after
// the back-off asked for, or our own (30 s doubling to 120 s) when none is
// usable. A server asking for more than 180 s is not retried.
void RetryOnServerUnavailable(ILSShutdownInformerPtr& shutdownInformer, const std::function<void()>& attempt);
// The one delay: 100 ms steps, ended by the host's shutdown request.
void InterruptibleDelay(ILSShutdownInformerPtr& shutdownInformer, uint64_t milliseconds);
void CheckHealthScore(ILSHttpRequest& request, ILSShutdownInformerPtr& shutdownInformer);

// XML answers
IXMLDOMDocument2Ptr CreateDOMDocument(const std::wstring& text);
IXMLDOMDocument2Ptr SanitiseXMLDocument(ILSHttpRequest& request);
IXMLDOMDocument2Ptr SanitiseXMLDocument(const std::wstring& text);
std::wstring CleanXmlText(const std::wstring& text);
uint64_t GetContentLength(ILSHttpRequest& request);

} // namespace CLSBaseWS
