#include "KOVACommon/http/LSAnswerLimits.h"

#include "KOVACommon/xml/LSSafeXml.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace LSAnswerLimits {

static_assert(2 * LargestAnswerBytes / 1024 <= LSSafeXml::MostXmlKilobytes,
              "an answer within the limit must load as a document whatever its characters");

std::optional<uint64_t> DeclaredLength(const std::wstring& contentLength)
{
    const CStdStr text = CStdStr(contentLength).Trim();
    if (text.empty() || text.size() > 19 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return std::nullopt;
    return std::stoull(text);
}

namespace {

[[noreturn]] void Refuse(const std::wstring& url, const std::string& what)
{
    LS_ERROR_LOG << "Answer from " << ToLogText(url) << " refused: " << what;
    throw hresult_exception(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "answer refused: " + what);
}

void RefuseAboveLimit(const std::wstring& url, uint64_t bytes, const char* which)
{
    if (bytes > LargestAnswerBytes)
        Refuse(url, std::string(which) + " " + std::to_string(bytes) + " bytes exceeds the limit of " +
                        std::to_string(LargestAnswerBytes) + " bytes");
}

} // namespace

void CheckDeclaredLength(const std::wstring& url, const std::wstring& contentLength)
{
    const std::optional<uint64_t> declared = DeclaredLength(contentLength);
    if (declared)
        RefuseAboveLimit(url, *declared, "its Content-Length of");
}

void CheckReceivedLength(const std::wstring& url, const std::wstring& contentLength,
                         const std::wstring& contentEncoding, uint64_t received)
{
    CheckDeclaredLength(url, contentLength);
    RefuseAboveLimit(url, received, "its body of");
    const std::optional<uint64_t> declared = DeclaredLength(contentLength);
    const CStdStr coding = CStdStr(contentEncoding).Trim();
    if (!declared || *declared == received || !(coding.empty() || coding.EqualsNoCase(L"identity")))
        return;
    Refuse(url, "its body of " + std::to_string(received) + " bytes differs from its Content-Length of " +
                    std::to_string(*declared) + " bytes");
}

} // namespace LSAnswerLimits
