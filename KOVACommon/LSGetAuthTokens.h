#pragma once
// Obtains OAuth access tokens from the external token library and runs a
// caller's request with one, asking once for a new token when the server
// refuses the first.
#include "CStdStr.h"
#include "KOVASyncBasicsPtrs.h"

#include <functional>
#include <string>

class LSGetAuthTokens
{
public:
    using TokenCallback = std::function<void(const std::wstring& token)>;

    LSGetAuthTokens(const std::wstring& clientId, const std::wstring& redirectAddress,
                    const std::wstring& cacheFilePath);
    virtual ~LSGetAuthTokens() = default;
    LSGetAuthTokens(const LSGetAuthTokens&) = delete;
    LSGetAuthTokens& operator=(const LSGetAuthTokens&) = delete;

    // True when the library answered that interactive sign-in is needed.
    bool CallWithAccessToken(TokenCallback callback, ILSShutdownInformerPtr& shutdownInformer);

private:
    IUnknownPtr m_library;
};
