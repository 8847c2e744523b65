#pragma once
// The exchange engine on top of the requests: send and wait (pumping
// messages, honouring shutdown), retry throttling answers once per exchange,
// and read XML answers. The requests come from an opener (the request
// factory's OpenRequest); each request checks its own answer in FinishSend
// (LSAnswerCheck).
#include "KOVACommon/http/ILSHttpRequest.h"
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <functional>
#include <string>

class LSHttpError;

namespace CLSBaseWS {

// Opens a request ready to send: every attempt of an exchange gets a fresh one.
using RequestOpener = std::function<ILSHttpRequestPtr()>;
// Reads a successful answer; may still throw LSHttpError (a busy answer in
// the body is throttling too).
using AnswerReader = std::function<void(ILSHttpRequest&)>;

// One exchange: a fresh request from open for every attempt, sent with body
// and waited for, its answer checked and read; throttling retried under
// RetryOnServerUnavailable. Returns the request that carried the answer.
ILSHttpRequestPtr Exchange(const RequestOpener& open, const std::wstring& url, const std::wstring& body,
                           const AnswerReader& read = nullptr);
// One attempt, start to finish (StartAsyncSend, the wait, FinishSend): no retry.
void PerformAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body);
// One attempt that does not wait: wait with LSAnswerWait, then call the
// request's FinishSend.
void StartAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body);
// 503, 429, or a server's own "busy" answer (an EWS busy fault or busy
// response message, a throttled Graph batch).
bool IsThrottling(const LSHttpError& error);
// The one retry policy: runs attempt until it succeeds, retrying throttling
// answers (at most five attempts in all, light-sync mode on at each) after
// the back-off asked for, or our own (30 s doubling to 120 s) when none is
// usable. A server asking for more than 180 s is not retried.
void RetryOnServerUnavailable(const std::function<void()>& attempt);

// The answer as an XML document: the platform's parse, or when that failed
// (its error logged), the cleaned text parsed again (LSXmlDocument).
IXMLDOMDocument2Ptr SanitiseXMLDocument(ILSHttpRequest& request);

} // namespace CLSBaseWS
