// Host property vocabulary shared by the host sync engine and every sync
// filter: property names, message classes, repository type names and
// field-descriptor ProgIDs. The host matches these texts character for
// character, so they must never be edited by hand to "fix" a spelling.
//
// One copy for the process: the BSTRs are allocated when the module loads
// and freed when it unloads. Allocation failure at load throws
// _com_error(E_OUTOFMEMORY). Because they are dynamically initialised,
// do not use them from other translation units' static initialisers.
#pragma once

#include <comdef.h>

namespace LSPropertyNames {

// Plain wide strings: usable before module initialisation and in
// std::wstring arithmetic (a sync-issue class is prefix + suffix).
inline constexpr const wchar_t* SyncIssuePrefixW = L"IPM.Note.KOVA.SyncIssue.";
inline constexpr const wchar_t* FilterRepositoryTypeW = L"KOVAUnifiedGroups";

// Property names of the host property map.
extern const _bstr_t UniqueId;
extern const _bstr_t VersionId;
extern const _bstr_t DisplayName;
extern const _bstr_t FileName;
extern const _bstr_t Extension;
extern const _bstr_t ExternalAttachmentFilename;
extern const _bstr_t KOVA_RepositoryIsRequired;
extern const _bstr_t Tenbrid_RepositoryLocation;
extern const _bstr_t Tenbrid_RepositoryType;
extern const _bstr_t Tenbrid_RepositoryTypeDisplayName;
extern const _bstr_t Tenbrid_FolderLocation;
extern const _bstr_t Tenbrid_FolderLocationUrl;
extern const _bstr_t KOVA_RepositoryIncludeInTraining;
extern const _bstr_t KOVA_NormalisedLocation;
extern const _bstr_t KOVA_RepositoryOriginalLocation;
extern const _bstr_t KOVA_NumSyncsSinceAvailabilityCheck;
extern const _bstr_t KOVA_FolderDefaultMetadata;
extern const _bstr_t KOVA_ParentFolder;
extern const _bstr_t KOVA_RemoveRepositoryOnShutdown;
extern const _bstr_t KOVA_RemoveRepositoryAfterSeconds;
extern const _bstr_t KOVA_ReposExtraPropNames;
extern const _bstr_t KOVA_FolderDeferCreation;
extern const _bstr_t KOVA_FolderDeferCreationUntilParentSync;
extern const _bstr_t KOVA_ReposAddedFromSite;
extern const _bstr_t QK_FollowedUserTitle;
extern const _bstr_t FilterPropertyName;
extern const _bstr_t FilterPropertyValue;
extern const _bstr_t Tenbrid_NoPropertyPages;
extern const _bstr_t KOVA_NoContentJustProperties;
extern const _bstr_t KOVA_DisableFolderCreation;
extern const _bstr_t Tenbrid_LastSyncTime;
extern const _bstr_t KOVA_LastCompleteSyncTime;
extern const _bstr_t Tenbrid_LastBrowseTime;
extern const _bstr_t Tenbrid_SyncDisabled;
extern const _bstr_t Tenbrid_BackgroundSyncDisabled;
extern const _bstr_t KOVA_SyncsWithoutChangesCount;
extern const _bstr_t Tenbrid_MainFolder;
extern const _bstr_t Tenbrid_ManuallyCreated;
extern const _bstr_t Tenbrid_DeferAutoSyncs;
extern const _bstr_t Tenbrid_PermMask;
extern const _bstr_t KOVA_PermMask2;
extern const _bstr_t KOVA_FolderServerTag;
extern const _bstr_t KOVA_AccessToken;
extern const _bstr_t KOVA_RefreshToken;
extern const _bstr_t KOVA_WorkSuiteWebServiceURL;
extern const _bstr_t KOVA_WebServiceURL;
extern const _bstr_t SP_RestrictedContentTypeOrder;
extern const _bstr_t KOVA_CachedViewChangeElement;
extern const _bstr_t KOVA_CustomDirectoryIconIndex;
extern const _bstr_t KOVA_CustomDirectoryIconPath;
extern const _bstr_t KOVA_NumSyncsBackgroundSyncSubFoldersOnly;
extern const _bstr_t KOVA_NoDocSync;
extern const _bstr_t Tenbrid_SyncIssueType;
extern const _bstr_t Tenbrid_SyncIssueMessage;
extern const _bstr_t Tenbrid_RemoteChangeInfo;
extern const _bstr_t Tenbrid_LocalChangeInfo;
extern const _bstr_t Tenbrid_RemoteChangeETag;
extern const _bstr_t Etag;
extern const _bstr_t Tenbrid_RemoteChangeStillToSync;
extern const _bstr_t KOVA_RenamedFilename;
extern const _bstr_t KOVA_EditDocSeenLocked;
extern const _bstr_t Tenbrid_DocumentLaunched;
extern const _bstr_t Tenbrid_LaunchedFilePath;
extern const _bstr_t KOVA_DocManuallyCheckedOut;
extern const _bstr_t KOVA_DocManuallyCheckedOutEditComplete;
extern const _bstr_t Tenbrid_LaunchedWriteTime;
extern const _bstr_t Tenbrid_LaunchedProcessKey;
extern const _bstr_t KOVA_isBeingCoAuthored;
extern const _bstr_t KOVA_PublishAsMajorVersion;
extern const _bstr_t KOVA_CheckInComment;
extern const _bstr_t KOVA_ContentLastModified;
extern const _bstr_t KOVA_DeferMessageSyncUntil;
extern const _bstr_t KOVA_InterimVersionData;
extern const _bstr_t KOVA_InterimVersionLastSaveType;
extern const _bstr_t Tenbrid_MarkAsFiledKey;
extern const _bstr_t Tenbrid_PendingMarkAsFiled;
extern const _bstr_t Tenbrid_MessageClass_Old;
extern const _bstr_t Tenbrid_IconIndex_Old;
extern const _bstr_t Tenbrid_FormRegionClass;
extern const _bstr_t Tenbrid_BeforeFormRegionClass;
extern const _bstr_t Tenbrid_FromServerETag;
extern const _bstr_t Tenbrid_FromServerListId;
extern const _bstr_t Tenbrid_FromServerItem;
extern const _bstr_t Tenbrid_ItemContentType;
extern const _bstr_t Tenbrid_FromServerShortItemId;
extern const _bstr_t Tenbrid_FromServerVersion;
extern const _bstr_t Tenbrid_UserRequestedOverwriteServerETag;
extern const _bstr_t Tenbrid_UserRequestedServerWin;
extern const _bstr_t KOVA_UserRequestedOverwriteServerLastModified;
extern const _bstr_t Tenbrid_FromServerFileName;
extern const _bstr_t Tenbrid_FromServerFileUrl;
extern const _bstr_t Tenbrid_PreviousFromServerETag;
extern const _bstr_t Tenbrid_FromServerFileId;
extern const _bstr_t KOVA_FromServerExtension;
extern const _bstr_t Tenbrid_ChangedFields;
extern const _bstr_t Tenbrid_OlkIsDirty;
extern const _bstr_t KOVA_SendAndFileFolder;
extern const _bstr_t KOVA_OriginalName;
extern const _bstr_t KOVA_AdditionalPropertyValue;
extern const _bstr_t KOVA_ExtraPropertyKeys;
extern const _bstr_t KOVA_RestrictNewDocSecurity;
extern const _bstr_t KOVA_SetPropsOnAddition;
extern const _bstr_t KOVA_FullTextProperty;
extern const _bstr_t KOVA_DeletedItemGuid;
extern const _bstr_t KOVA_DeletedItemGlobcnt;
extern const _bstr_t Tenbrid_MessageIsUnchanged;
extern const _bstr_t Tenbrid_MessageIsUnchanged_Office2003;
extern const _bstr_t Tenbrid_IsContentChanged;
extern const _bstr_t Tenbrid_OpenedByProcess;
extern const _bstr_t Tenbrid_BrandNewMessage;
extern const _bstr_t KOVA_DeleteIfSaveCancelled;
extern const _bstr_t KOVA_ForcePromptForProperties;
extern const _bstr_t KOVA_CancelCheckout;
extern const _bstr_t KOVA_LockedPurpose;
extern const _bstr_t KOVA_MessageLinks;
extern const _bstr_t KOVA_AddedByMe;
extern const _bstr_t KOVA_DuplicateHash;
extern const _bstr_t KOVA_MovedFromFolder;
extern const _bstr_t KOVA_DeletedFromFolder;
extern const _bstr_t RemoteFileLastModified;
extern const _bstr_t KOVA_MappedPropertiesXML;
extern const _bstr_t KOVA_MessageId;
extern const _bstr_t KOVA_HeaderDownloadType;
extern const _bstr_t KOVA_DownloadFullItem;
extern const _bstr_t KOVA_MakeAvailableOfflineUntil;
extern const _bstr_t KOVA_OnlineEntryId;
extern const _bstr_t KOVA_HasOnlinePreview;
extern const _bstr_t KOVA_OnlinePreviewPath;
extern const _bstr_t KOVA_OnlineEditPath;
extern const _bstr_t KOVA_OnlineParentFolderUrl;
extern const _bstr_t KOVA_OnlineBringOfflinePath;
extern const _bstr_t KOVA_FolderOnlineResultFilter;
extern const _bstr_t KOVA_FolderOnlineResultsQuery;
extern const _bstr_t KOVA_IsFolderOnlineRecentDocs;
extern const _bstr_t KOVA_TooBigOrigPath;
extern const _bstr_t KOVA_IsShortcut;
extern const _bstr_t KOVA_ShortcutURL;
extern const _bstr_t KOVA_ShortcutExt;
extern const _bstr_t KOVA_SyncModifiedRecentDays;
extern const _bstr_t KOVA_SyncModifiedRecentDaysScaled;
extern const _bstr_t KOVA_AttachmentsProcessed;
extern const _bstr_t Tenbrid_ContentTypeId;
extern const _bstr_t Tenbrid_AllowAddContent;
extern const _bstr_t KOVASiteAllAvailableRepositories;
extern const _bstr_t KOVAOptInFoldersAvailable;
extern const _bstr_t KOVAOptInSiteRepositories;
extern const _bstr_t KOVAOptInSiteRepositoriesHasChanges;
extern const _bstr_t KOVAOptedInFolders;
extern const _bstr_t Tenbrid_NoContentAllowed;
extern const _bstr_t Tenbrid_NoDocsAllowed;
extern const _bstr_t KOVA_HiddenFolder;
extern const _bstr_t KOVA_ExpiredFolder;
extern const _bstr_t KOVA_TemporaryRepository;
extern const _bstr_t KOVA_TargetUsersFolder;
extern const _bstr_t Tenbrid_SyncIssueFolderMessage;
extern const _bstr_t Tenbrid_LastSyncDetailsFolderMessage;
extern const _bstr_t KOVA_KeepFolderWithPending;
extern const _bstr_t KOVA_CreateNewVersionOnCheckin;
extern const _bstr_t KOVA_CopyMoveSource;
extern const _bstr_t KOVA_AddItemMigrationLocation;
extern const _bstr_t KOVA_AddFolderRecordType;
extern const _bstr_t KOVA_RecordType;
extern const _bstr_t KOVA_SetDocumentReference;
extern const _bstr_t KOVA_LastFullSyncDateTime;
extern const _bstr_t KOVA_IncrementalSyncMaxEditContentDate;
extern const _bstr_t KOVA_IncrementalSyncLastDocId;
extern const _bstr_t KOVA_IncrementalSyncSearchCriteria;
extern const _bstr_t KOVA_IncrementalSyncSearchLibraries;
extern const _bstr_t ows_PermMask;
extern const _bstr_t KOVA_HasLuggageTags;
extern const _bstr_t KOVA_HasBeenAutofiled;
extern const _bstr_t KOVA_LastOpenedTime;
extern const _bstr_t KOVA_AttachmentEntryID;
extern const _bstr_t KOVA_DoNotAddToFolderIndex;
extern const _bstr_t KOVA_PropNameToMatchForLaunchOnSync;
extern const _bstr_t KOVA_PropValToMatchForLaunchOnSync;
extern const _bstr_t KOVA_CreateDocSet;
extern const _bstr_t KOVA_InsertDocNameIntoTitle;
extern const _bstr_t KOVA_IDToBringForward;
extern const _bstr_t KOVA_DocIdLib;
extern const _bstr_t KOVA_OriginalAttachmentCreateDate;
extern const _bstr_t KOVA_DocOpenedAsShared;
extern const _bstr_t KOVA_ConvertedToHeader;
extern const _bstr_t KOVA_PropWindowToOpenEntryIds;
extern const _bstr_t KOVACRM_ContactEntites;
extern const _bstr_t KOVA_SavedButNotProcessed;
extern const _bstr_t KOVA_SiteCollectionLocations;
extern const _bstr_t KOVA_PropertyBagProperties;

// Message classes of the items the host creates.
extern const _bstr_t MsgClass_IPM_Post_KOVA_Doc;
extern const _bstr_t MsgClass_IPM_Post_KOVA_CL;
extern const _bstr_t MsgClass_IPM_Task_KOVA_CL;
extern const _bstr_t MsgClass_IPM_Contact_KOVA_CL;
extern const _bstr_t MsgClass_IPM_Document;
extern const _bstr_t MsgClass_IPM_Note_KOVA;
extern const _bstr_t MsgClass_IPM_Post_KOVA;
extern const _bstr_t MsgClass_IPM_Post_KOVA_MultiItemMessage;
extern const _bstr_t MsgClass_IPM_InfoPathForm;

// Prefix of sync-issue message classes; keeps its final full stop
// because a class is formed by appending to it.
extern const _bstr_t MsgClassPrefix_SyncIssue;

// Repository type names.
extern const _bstr_t RepoType_KOVA;
extern const _bstr_t RepoType_SharePoint;
extern const _bstr_t RepoType_WorkSite;
extern const _bstr_t RepoType_Trim;
extern const _bstr_t RepoType_FileShare;
extern const _bstr_t RepoType_HighQ;
extern const _bstr_t RepoType_Meridio;
extern const _bstr_t RepoType_HPRM;
extern const _bstr_t RepoType_OpenText;
extern const _bstr_t RepoType_MFiles;
extern const _bstr_t RepoType_KOVACRL;
extern const _bstr_t RepoType_KOVAUnifiedGroups;
extern const _bstr_t RepoType_NetDocuments;
extern const _bstr_t RepoType_eDOCS;

// Two types are also known by a second name. These refer to the same
// objects, so each text exists once among the repository type names.
extern const _bstr_t& RepoType_KOVAServer;  // = RepoType_KOVA
extern const _bstr_t& RepoType_SharePointServer;  // = RepoType_SharePoint

// ProgIDs of the field-descriptor classes.
extern const _bstr_t FieldProgId_KOVA_SimpleField_1;
extern const _bstr_t FieldProgId_KOVA_DateTimeField_1;

}  // namespace LSPropertyNames
