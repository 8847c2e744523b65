#pragma once
// This component's OAuth client registration with the identity platform, and
// the scopes its tokens are asked for.
namespace LSAuthRegistrations {

// The registration's client id and the service roots are settings, with
// their defaults in the settings table.

// Token cache of the Unified Groups registration, inside the mail-profile folder.
constexpr const wchar_t* UnifiedGroupsCacheFileName = L"AuthCache-unifiedgroups.db";
// The identity platform's redirect address for native clients.
constexpr const wchar_t* NativeClientRedirectAddress = L"https://login.microsoftonline.com/common/oauth2/nativeclient";

// The scope of every Exchange Online token.
constexpr const wchar_t* ExchangeOnlineScope = L"https://outlook.office365.com/.default";

// The scope of Microsoft Graph tokens.
constexpr const wchar_t* GraphScope = L"https://graph.microsoft.com/.default";

// The token text by which the library says the user must sign in (any case).
constexpr const wchar_t* SignInMarker = L"ERROR:NeedsAuth";

} // namespace LSAuthRegistrations
