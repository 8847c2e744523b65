#pragma once
// Obtains OAuth access tokens from the external token library and runs a
// caller's request with one, asking once for a new token when the server
// refuses the first.
#include "KOVAAuthTokenLibrary_h.h"
#include "KOVACommon/auth/LSAuthRegistrations.h"
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "QuorvalCommon/CStdStr.h"

#include <functional>
#include <string>

_COM_SMARTPTR_TYPEDEF(IAuthTokenLibrary, __uuidof(IAuthTokenLibrary));

class LSGetAuthTokens
{
public:
    using TokenCallback = std::function<void(const std::wstring& token)>;

    // scope: what every token of this object is asked for.
    LSGetAuthTokens(const std::wstring& clientId, const std::wstring& redirectAddress,
                    const std::wstring& cacheFilePath,
                    const std::wstring& scope = LSAuthRegistrations::ExchangeOnlineScope);
    virtual ~LSGetAuthTokens() = default;
    LSGetAuthTokens(const LSGetAuthTokens&) = delete;
    LSGetAuthTokens& operator=(const LSGetAuthTokens&) = delete;

    // True when the library answered that interactive sign-in is needed.
    bool CallWithAccessToken(TokenCallback callback);

    // How a token appears in log lines: never the credential itself.
    static std::wstring RedactedToken(const std::wstring& token);
    // The scope of tokens for a service root: the root's origin (scheme and
    // host in lower case, port as written) followed by "/.default", so a
    // national cloud's root gets that cloud's tokens.
    static std::wstring ScopeForRoot(const std::wstring& serviceRoot);

private:
    using LibraryCall = std::function<void(IAuthTokenLibraryPtr& library)>;

    std::wstring GetAccessToken(const std::wstring& scope, bool retry);
    IAuthTokenLibraryPtr Library() const;
    static void LogAssemblyError(IAuthTokenLibraryPtr library, const LibraryCall& call);
    static std::wstring ExtractError(IAuthTokenLibraryPtr& library);
    static void CancelAcquisition(IAuthTokenLibraryPtr& library);

    IUnknownPtr m_library;
    std::wstring m_scope;
};
