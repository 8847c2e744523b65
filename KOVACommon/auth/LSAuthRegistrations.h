#pragma once
// This component's OAuth client registration with the identity platform, and
// the scopes its tokens are asked for.
namespace LSAuthRegistrations {

// Client id of the Unified Groups registration (default of KOVAUnifiedGroups.ClientId).
constexpr const wchar_t* UnifiedGroupsClientId = L"AB55A6B4-82D6-4A6E-90E7-33349761E62F";
// Token cache of that registration, inside the mail-profile folder.
constexpr const wchar_t* UnifiedGroupsCacheFileName = L"AuthCache-unifiedgroups.db";
// The identity platform's redirect address for native clients.
constexpr const wchar_t* NativeClientRedirectAddress = L"https://login.microsoftonline.com/common/oauth2/nativeclient";

// Root of the Exchange Online service, and the scope of every token.
constexpr const wchar_t* ExchangeOnlineServiceRoot = L"https://outlook.office365.com/";
constexpr const wchar_t* ExchangeOnlineScope = L"https://outlook.office365.com/.default";

// Microsoft Graph: the default root of the group queries there, and the scope
// of their tokens.
constexpr const wchar_t* GraphServiceRoot = L"https://graph.microsoft.com/v1.0/";
constexpr const wchar_t* GraphScope = L"https://graph.microsoft.com/.default";

// The token text by which the library says the user must sign in (any case).
constexpr const wchar_t* SignInMarker = L"ERROR:NeedsAuth";

} // namespace LSAuthRegistrations
