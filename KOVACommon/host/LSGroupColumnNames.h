// Column and flag names this filter writes for its own items. They are
// SharePoint-style literals of this filter, not part of the shared host
// vocabulary in LSPropertyNames.h.
#pragma once

namespace LSGroupColumnNames {

inline constexpr const wchar_t* OwsId = L"ows-ID";
inline constexpr const wchar_t* OwsTitle = L"ows-Title";
inline constexpr const wchar_t* OwsLocation = L"ows-Location";
inline constexpr const wchar_t* OwsParentFolders = L"ows-Parent-x0020-Folders";
inline constexpr const wchar_t* OwsIncludeInTraining = L"ows-Include-x0020-In-x0020-Training";
inline constexpr const wchar_t* OwsBackgroundSync = L"ows-Background-x0020-Sync";
inline constexpr const wchar_t* OwsHeaderDownloadType = L"ows-Header-x0020-Download-x0020-Type";
inline constexpr const wchar_t* SPIsList = L"SPIsList";

}  // namespace LSGroupColumnNames
