#include "KOVACommon/host/LSPropertyNames.h"

namespace LSPropertyNames {

// Property names of the host property map.
const _bstr_t UniqueId(L"UniqueId");
const _bstr_t VersionId(L"VersionId");
const _bstr_t DisplayName(L"DisplayName");
const _bstr_t FileName(L"FileName");
const _bstr_t Extension(L"Extension");
const _bstr_t ExternalAttachmentFilename(L"ExternalAttachmentFilename");
const _bstr_t KOVA_RepositoryIsRequired(L"KOVA.RepositoryIsRequired");
const _bstr_t Tenbrid_RepositoryLocation(L"Tenbrid.RepositoryLocation");
const _bstr_t Tenbrid_RepositoryType(L"Tenbrid.RepositoryType");
const _bstr_t Tenbrid_RepositoryTypeDisplayName(L"Tenbrid.RepositoryTypeDisplayName");
const _bstr_t Tenbrid_FolderLocation(L"Tenbrid.FolderLocation");
const _bstr_t Tenbrid_FolderLocationUrl(L"Tenbrid.FolderLocationUrl");
const _bstr_t KOVA_RepositoryIncludeInTraining(L"KOVA.RepositoryIncludeInTraining");
const _bstr_t KOVA_NormalisedLocation(L"KOVA.NormalisedLocation");
const _bstr_t KOVA_RepositoryOriginalLocation(L"KOVA.RepositoryOriginalLocation");
const _bstr_t KOVA_NumSyncsSinceAvailabilityCheck(L"KOVA.NumSyncsSinceAvailabilityCheck");
const _bstr_t KOVA_FolderDefaultMetadata(L"KOVA.FolderDefaultMetadata");
const _bstr_t KOVA_ParentFolder(L"KOVA.ParentFolder");
const _bstr_t KOVA_RemoveRepositoryOnShutdown(L"KOVA.RemoveRepositoryOnShutdown");
const _bstr_t KOVA_RemoveRepositoryAfterSeconds(L"KOVA.RemoveRepositoryAfterSeconds");
const _bstr_t KOVA_ReposExtraPropNames(L"KOVA.ReposExtraPropNames");
const _bstr_t KOVA_FolderDeferCreation(L"KOVA.FolderDeferCreation");
const _bstr_t KOVA_FolderDeferCreationUntilParentSync(L"KOVA.FolderDeferCreationUntilParentSync");
const _bstr_t KOVA_ReposAddedFromSite(L"KOVA.ReposAddedFromSite");
const _bstr_t QK_FollowedUserTitle(L"QK.FollowedUserTitle");
const _bstr_t FilterPropertyName(L"FilterPropertyName");
const _bstr_t FilterPropertyValue(L"FilterPropertyValue");
const _bstr_t Tenbrid_NoPropertyPages(L"Tenbrid.NoPropertyPages");
const _bstr_t KOVA_NoContentJustProperties(L"KOVA.NoContentJustProperties");
const _bstr_t KOVA_DisableFolderCreation(L"KOVA.DisableFolderCreation");
const _bstr_t Tenbrid_LastSyncTime(L"Tenbrid.LastSyncTime");
const _bstr_t KOVA_LastCompleteSyncTime(L"KOVA.LastCompleteSyncTime");
const _bstr_t Tenbrid_LastBrowseTime(L"Tenbrid.LastBrowseTime");
const _bstr_t Tenbrid_SyncDisabled(L"Tenbrid.SyncDisabled");
const _bstr_t Tenbrid_BackgroundSyncDisabled(L"Tenbrid.BackgroundSyncDisabled");
const _bstr_t KOVA_SyncsWithoutChangesCount(L"KOVA.SyncsWithoutChangesCount");
const _bstr_t Tenbrid_MainFolder(L"Tenbrid.MainFolder");
const _bstr_t Tenbrid_ManuallyCreated(L"Tenbrid.ManuallyCreated");
const _bstr_t Tenbrid_DeferAutoSyncs(L"Tenbrid.DeferAutoSyncs");
const _bstr_t Tenbrid_PermMask(L"Tenbrid.PermMask");
const _bstr_t KOVA_PermMask2(L"KOVA.PermMask2");
const _bstr_t KOVA_FolderServerTag(L"KOVA.FolderServerTag");
const _bstr_t KOVA_AccessToken(L"KOVA.AccessToken");
const _bstr_t KOVA_RefreshToken(L"KOVA.RefreshToken");
const _bstr_t KOVA_WorkSuiteWebServiceURL(L"KOVA.WorkSuiteWebServiceURL");
const _bstr_t KOVA_WebServiceURL(L"KOVA.WebServiceURL");
const _bstr_t SP_RestrictedContentTypeOrder(L"SP-RestrictedContentTypeOrder");
const _bstr_t KOVA_CachedViewChangeElement(L"KOVA.CachedViewChangeElement");
const _bstr_t KOVA_CustomDirectoryIconIndex(L"KOVA.CustomDirectoryIconIndex");
const _bstr_t KOVA_CustomDirectoryIconPath(L"KOVA.CustomDirectoryIconPath");
const _bstr_t KOVA_NumSyncsBackgroundSyncSubFoldersOnly(L"KOVA.NumSyncsBackgroundSyncSubFoldersOnly");
const _bstr_t KOVA_NoDocSync(L"KOVA.NoDocSync");
const _bstr_t Tenbrid_SyncIssueType(L"Tenbrid.SyncIssueType");
const _bstr_t Tenbrid_SyncIssueMessage(L"Tenbrid.SyncIssueMessage");
const _bstr_t Tenbrid_RemoteChangeInfo(L"Tenbrid.RemoteChangeInfo");
const _bstr_t Tenbrid_LocalChangeInfo(L"Tenbrid.LocalChangeInfo");
const _bstr_t Tenbrid_RemoteChangeETag(L"Tenbrid.RemoteChangeETag");
const _bstr_t Etag(L"Etag");
const _bstr_t Tenbrid_RemoteChangeStillToSync(L"Tenbrid.RemoteChangeStillToSync");
const _bstr_t KOVA_RenamedFilename(L"KOVA.RenamedFilename");
const _bstr_t KOVA_EditDocSeenLocked(L"KOVA.EditDocSeenLocked");
const _bstr_t Tenbrid_DocumentLaunched(L"Tenbrid.DocumentLaunched");
const _bstr_t Tenbrid_LaunchedFilePath(L"Tenbrid.LaunchedFilePath");
const _bstr_t KOVA_DocManuallyCheckedOut(L"KOVA.DocManuallyCheckedOut");
const _bstr_t KOVA_DocManuallyCheckedOutEditComplete(L"KOVA.DocManuallyCheckedOutEditComplete");
const _bstr_t Tenbrid_LaunchedWriteTime(L"Tenbrid.LaunchedWriteTime");
const _bstr_t Tenbrid_LaunchedProcessKey(L"Tenbrid.LaunchedProcessKey");
const _bstr_t KOVA_isBeingCoAuthored(L"KOVA.isBeingCoAuthored");
const _bstr_t KOVA_PublishAsMajorVersion(L"KOVA.PublishAsMajorVersion");
const _bstr_t KOVA_CheckInComment(L"KOVA.CheckInComment");
const _bstr_t KOVA_ContentLastModified(L"KOVA.ContentLastModified");
const _bstr_t KOVA_DeferMessageSyncUntil(L"KOVA.DeferMessageSyncUntil");
const _bstr_t KOVA_InterimVersionData(L"KOVA.InterimVersionData");
const _bstr_t KOVA_InterimVersionLastSaveType(L"KOVA.InterimVersionLastSaveType");
const _bstr_t Tenbrid_MarkAsFiledKey(L"Tenbrid.MarkAsFiledKey");
const _bstr_t Tenbrid_PendingMarkAsFiled(L"Tenbrid.PendingMarkAsFiled");
const _bstr_t Tenbrid_MessageClass_Old(L"Tenbrid.MessageClass.Old");
const _bstr_t Tenbrid_IconIndex_Old(L"Tenbrid.IconIndex.Old");
const _bstr_t Tenbrid_FormRegionClass(L"Tenbrid.FormRegionClass");
const _bstr_t Tenbrid_BeforeFormRegionClass(L"Tenbrid.BeforeFormRegionClass");
const _bstr_t Tenbrid_FromServerETag(L"Tenbrid.FromServerETag");
const _bstr_t Tenbrid_FromServerListId(L"Tenbrid.FromServerListId");
const _bstr_t Tenbrid_FromServerItem(L"Tenbrid.FromServerItem");
const _bstr_t Tenbrid_ItemContentType(L"Tenbrid.ItemContentType");
const _bstr_t Tenbrid_FromServerShortItemId(L"Tenbrid.FromServerShortItemId");
const _bstr_t Tenbrid_FromServerVersion(L"Tenbrid.FromServerVersion");
const _bstr_t Tenbrid_UserRequestedOverwriteServerETag(L"Tenbrid.UserRequestedOverwriteServerETag");
const _bstr_t Tenbrid_UserRequestedServerWin(L"Tenbrid.UserRequestedServerWin");
const _bstr_t KOVA_UserRequestedOverwriteServerLastModified(L"KOVA.UserRequestedOverwriteServerLastModified");
const _bstr_t Tenbrid_FromServerFileName(L"Tenbrid.FromServerFileName");
const _bstr_t Tenbrid_FromServerFileUrl(L"Tenbrid.FromServerFileUrl");
const _bstr_t Tenbrid_PreviousFromServerETag(L"Tenbrid.PreviousFromServerETag");
const _bstr_t Tenbrid_FromServerFileId(L"Tenbrid.FromServerFileId");
const _bstr_t KOVA_FromServerExtension(L"KOVA.FromServerExtension");
const _bstr_t Tenbrid_ChangedFields(L"Tenbrid.ChangedFields");
const _bstr_t Tenbrid_OlkIsDirty(L"Tenbrid.OlkIsDirty");
const _bstr_t KOVA_SendAndFileFolder(L"KOVA.SendAndFileFolder");
const _bstr_t KOVA_OriginalName(L"KOVA.OriginalName");
const _bstr_t KOVA_AdditionalPropertyValue(L"KOVA.AdditionalPropertyValue");
const _bstr_t KOVA_ExtraPropertyKeys(L"KOVA.ExtraPropertyKeys");
const _bstr_t KOVA_RestrictNewDocSecurity(L"KOVA.RestrictNewDocSecurity");
const _bstr_t KOVA_SetPropsOnAddition(L"KOVA.SetPropsOnAddition");
const _bstr_t KOVA_FullTextProperty(L"KOVA.FullTextProperty");
const _bstr_t KOVA_DeletedItemGuid(L"KOVA.DeletedItemGuid");
const _bstr_t KOVA_DeletedItemGlobcnt(L"KOVA.DeletedItemGlobcnt");
const _bstr_t Tenbrid_MessageIsUnchanged(L"Tenbrid.MessageIsUnchanged");
const _bstr_t Tenbrid_MessageIsUnchanged_Office2003(L"Tenbrid.MessageIsUnchanged_Office2003");
const _bstr_t Tenbrid_IsContentChanged(L"Tenbrid.IsContentChanged");
const _bstr_t Tenbrid_OpenedByProcess(L"Tenbrid.OpenedByProcess");
const _bstr_t Tenbrid_BrandNewMessage(L"Tenbrid.BrandNewMessage");
const _bstr_t KOVA_DeleteIfSaveCancelled(L"KOVA.DeleteIfSaveCancelled");
const _bstr_t KOVA_ForcePromptForProperties(L"KOVA.ForcePromptForProperties");
const _bstr_t KOVA_CancelCheckout(L"KOVA.CancelCheckout");
const _bstr_t KOVA_LockedPurpose(L"KOVA.LockedPurpose");
const _bstr_t KOVA_MessageLinks(L"KOVA.MessageLinks");
const _bstr_t KOVA_AddedByMe(L"KOVA.AddedByMe");
const _bstr_t KOVA_DuplicateHash(L"KOVA.DuplicateHash");
const _bstr_t KOVA_MovedFromFolder(L"KOVA.MovedFromFolder");
const _bstr_t KOVA_DeletedFromFolder(L"KOVA.DeletedFromFolder");
const _bstr_t RemoteFileLastModified(L"RemoteFileLastModified");
const _bstr_t KOVA_MappedPropertiesXML(L"KOVA.MappedPropertiesXML");
const _bstr_t KOVA_MessageId(L"KOVA.MessageId");
const _bstr_t KOVA_HeaderDownloadType(L"KOVA.HeaderDownloadType");
const _bstr_t KOVA_DownloadFullItem(L"KOVA.DownloadFullItem");
const _bstr_t KOVA_MakeAvailableOfflineUntil(L"KOVA.MakeAvailableOfflineUntil");
const _bstr_t KOVA_OnlineEntryId(L"KOVA.OnlineEntryId");
const _bstr_t KOVA_HasOnlinePreview(L"KOVA.HasOnlinePreview");
const _bstr_t KOVA_OnlinePreviewPath(L"KOVA.OnlinePreviewPath");
const _bstr_t KOVA_OnlineEditPath(L"KOVA.OnlineEditPath");
const _bstr_t KOVA_OnlineParentFolderUrl(L"KOVA.OnlineParentFolderUrl");
const _bstr_t KOVA_OnlineBringOfflinePath(L"KOVA.OnlineBringOfflinePath");
const _bstr_t KOVA_FolderOnlineResultFilter(L"KOVA.FolderOnlineResultFilter");
const _bstr_t KOVA_FolderOnlineResultsQuery(L"KOVA.FolderOnlineResultsQuery");
const _bstr_t KOVA_IsFolderOnlineRecentDocs(L"KOVA.IsFolderOnlineRecentDocs");
const _bstr_t KOVA_TooBigOrigPath(L"KOVA.TooBigOrigPath");
const _bstr_t KOVA_IsShortcut(L"KOVA.IsShortcut");
const _bstr_t KOVA_ShortcutURL(L"KOVA.ShortcutURL");
const _bstr_t KOVA_ShortcutExt(L"KOVA.ShortcutExt");
const _bstr_t KOVA_SyncModifiedRecentDays(L"KOVA.SyncModifiedRecentDays");
const _bstr_t KOVA_SyncModifiedRecentDaysScaled(L"KOVA.SyncModifiedRecentDaysScaled");
const _bstr_t KOVA_AttachmentsProcessed(L"KOVA.AttachmentsProcessed");
const _bstr_t Tenbrid_ContentTypeId(L"Tenbrid.ContentTypeId");
const _bstr_t Tenbrid_AllowAddContent(L"Tenbrid.AllowAddContent");
const _bstr_t KOVASiteAllAvailableRepositories(L"KOVASiteAllAvailableRepositories");
const _bstr_t KOVAOptInFoldersAvailable(L"KOVAOptInFoldersAvailable");
const _bstr_t KOVAOptInSiteRepositories(L"KOVAOptInSiteRepositories");
const _bstr_t KOVAOptInSiteRepositoriesHasChanges(L"KOVAOptInSiteRepositoriesHasChanges");
const _bstr_t KOVAOptedInFolders(L"KOVAOptedInFolders");
const _bstr_t Tenbrid_NoContentAllowed(L"Tenbrid.NoContentAllowed");
const _bstr_t Tenbrid_NoDocsAllowed(L"Tenbrid.NoDocsAllowed");
const _bstr_t KOVA_HiddenFolder(L"KOVA.HiddenFolder");
const _bstr_t KOVA_ExpiredFolder(L"KOVA.ExpiredFolder");
const _bstr_t KOVA_TemporaryRepository(L"KOVA.TemporaryRepository");
const _bstr_t KOVA_TargetUsersFolder(L"KOVA.TargetUsersFolder");
const _bstr_t Tenbrid_SyncIssueFolderMessage(L"Tenbrid.SyncIssueFolderMessage");
const _bstr_t Tenbrid_LastSyncDetailsFolderMessage(L"Tenbrid.LastSyncDetailsFolderMessage");
const _bstr_t KOVA_KeepFolderWithPending(L"KOVA.KeepFolderWithPending");
const _bstr_t KOVA_CreateNewVersionOnCheckin(L"KOVA.CreateNewVersionOnCheckin");
const _bstr_t KOVA_CopyMoveSource(L"KOVA.CopyMoveSource");
const _bstr_t KOVA_AddItemMigrationLocation(L"KOVA.AddItemMigrationLocation");
const _bstr_t KOVA_AddFolderRecordType(L"KOVA.AddFolderRecordType");
const _bstr_t KOVA_RecordType(L"KOVA.RecordType");
const _bstr_t KOVA_SetDocumentReference(L"KOVA.SetDocumentReference");
const _bstr_t KOVA_LastFullSyncDateTime(L"KOVA.LastFullSyncDateTime");
const _bstr_t KOVA_IncrementalSyncMaxEditContentDate(L"KOVA.IncrementalSyncMaxEditContentDate");
const _bstr_t KOVA_IncrementalSyncLastDocId(L"KOVA.IncrementalSyncLastDocId");
const _bstr_t KOVA_IncrementalSyncSearchCriteria(L"KOVA.IncrementalSyncSearchCriteria");
const _bstr_t KOVA_IncrementalSyncSearchLibraries(L"KOVA.IncrementalSyncSearchLibraries");
const _bstr_t ows_PermMask(L"ows-PermMask");
const _bstr_t KOVA_HasLuggageTags(L"KOVA.HasLuggageTags");
const _bstr_t KOVA_HasBeenAutofiled(L"KOVA.HasBeenAutofiled");
const _bstr_t KOVA_LastOpenedTime(L"KOVA.LastOpenedTime");
const _bstr_t KOVA_AttachmentEntryID(L"KOVA.AttachmentEntryID");
const _bstr_t KOVA_DoNotAddToFolderIndex(L"KOVA.DoNotAddToFolderIndex");
const _bstr_t KOVA_PropNameToMatchForLaunchOnSync(L"KOVA.PropNameToMatchForLaunchOnSync");
const _bstr_t KOVA_PropValToMatchForLaunchOnSync(L"KOVA.PropValToMatchForLaunchOnSync");
const _bstr_t KOVA_CreateDocSet(L"KOVA.CreateDocSet");
const _bstr_t KOVA_InsertDocNameIntoTitle(L"KOVA.InsertDocNameIntoTitle");
const _bstr_t KOVA_IDToBringForward(L"KOVA.IDToBringForward");
const _bstr_t KOVA_DocIdLib(L"KOVA.DocIdLib");
const _bstr_t KOVA_OriginalAttachmentCreateDate(L"KOVA.OriginalAttachmentCreateDate");
const _bstr_t KOVA_DocOpenedAsShared(L"KOVA.DocOpenedAsShared");
const _bstr_t KOVA_ConvertedToHeader(L"KOVA.ConvertedToHeader");
const _bstr_t KOVA_PropWindowToOpenEntryIds(L"KOVA.PropWindowToOpenEntryIds");
const _bstr_t KOVACRM_ContactEntites(L"KOVACRM.ContactEntites");
const _bstr_t KOVA_SavedButNotProcessed(L"KOVA.SavedButNotProcessed");
const _bstr_t KOVA_SiteCollectionLocations(L"KOVA.SiteCollectionLocations");
const _bstr_t KOVA_PropertyBagProperties(L"KOVA.PropertyBagProperties");

// Message classes of the items the host creates.
const _bstr_t MsgClass_IPM_Post_KOVA_Doc(L"IPM.Post.KOVA.Doc");
const _bstr_t MsgClass_IPM_Post_KOVA_CL(L"IPM.Post.KOVA.CL");
const _bstr_t MsgClass_IPM_Task_KOVA_CL(L"IPM.Task.KOVA.CL");
const _bstr_t MsgClass_IPM_Contact_KOVA_CL(L"IPM.Contact.KOVA.CL");
const _bstr_t MsgClass_IPM_Document(L"IPM.Document");
const _bstr_t MsgClass_IPM_Note_KOVA(L"IPM.Note.KOVA");
const _bstr_t MsgClass_IPM_Post_KOVA(L"IPM.Post.KOVA");
const _bstr_t MsgClass_IPM_Post_KOVA_MultiItemMessage(L"IPM.Post.KOVA.MultiItemMessage");
const _bstr_t MsgClass_IPM_InfoPathForm(L"IPM.InfoPathForm");

const _bstr_t MsgClassPrefix_SyncIssue(SyncIssuePrefixW);

// Repository type names.
const _bstr_t RepoType_KOVA(L"KOVA");
const _bstr_t RepoType_SharePoint(L"SharePoint");
const _bstr_t RepoType_WorkSite(L"WorkSite");
const _bstr_t RepoType_Trim(L"Trim");
const _bstr_t RepoType_FileShare(L"FileShare");
const _bstr_t RepoType_HighQ(L"HighQ");
const _bstr_t RepoType_Meridio(L"Meridio");
const _bstr_t RepoType_HPRM(L"HPRM");
const _bstr_t RepoType_OpenText(L"OpenText");
const _bstr_t RepoType_MFiles(L"MFiles");
const _bstr_t RepoType_KOVACRL(L"KOVACRL");
const _bstr_t RepoType_KOVAUnifiedGroups(FilterRepositoryTypeW);
const _bstr_t RepoType_NetDocuments(L"NetDocuments");
const _bstr_t RepoType_eDOCS(L"eDOCS");

const _bstr_t& RepoType_KOVAServer = RepoType_KOVA;
const _bstr_t& RepoType_SharePointServer = RepoType_SharePoint;

// ProgIDs of the field-descriptor classes.
const _bstr_t FieldProgId_KOVA_SimpleField_1(L"KOVA.SimpleField.1");
const _bstr_t FieldProgId_KOVA_DateTimeField_1(L"KOVA.DateTimeField.1");

const std::vector<const _bstr_t*>& AllPropertyNames() {
  static const std::vector<const _bstr_t*> all = {
      &UniqueId,
      &VersionId,
      &DisplayName,
      &FileName,
      &Extension,
      &ExternalAttachmentFilename,
      &KOVA_RepositoryIsRequired,
      &Tenbrid_RepositoryLocation,
      &Tenbrid_RepositoryType,
      &Tenbrid_RepositoryTypeDisplayName,
      &Tenbrid_FolderLocation,
      &Tenbrid_FolderLocationUrl,
      &KOVA_RepositoryIncludeInTraining,
      &KOVA_NormalisedLocation,
      &KOVA_RepositoryOriginalLocation,
      &KOVA_NumSyncsSinceAvailabilityCheck,
      &KOVA_FolderDefaultMetadata,
      &KOVA_ParentFolder,
      &KOVA_RemoveRepositoryOnShutdown,
      &KOVA_RemoveRepositoryAfterSeconds,
      &KOVA_ReposExtraPropNames,
      &KOVA_FolderDeferCreation,
      &KOVA_FolderDeferCreationUntilParentSync,
      &KOVA_ReposAddedFromSite,
      &QK_FollowedUserTitle,
      &FilterPropertyName,
      &FilterPropertyValue,
      &Tenbrid_NoPropertyPages,
      &KOVA_NoContentJustProperties,
      &KOVA_DisableFolderCreation,
      &Tenbrid_LastSyncTime,
      &KOVA_LastCompleteSyncTime,
      &Tenbrid_LastBrowseTime,
      &Tenbrid_SyncDisabled,
      &Tenbrid_BackgroundSyncDisabled,
      &KOVA_SyncsWithoutChangesCount,
      &Tenbrid_MainFolder,
      &Tenbrid_ManuallyCreated,
      &Tenbrid_DeferAutoSyncs,
      &Tenbrid_PermMask,
      &KOVA_PermMask2,
      &KOVA_FolderServerTag,
      &KOVA_AccessToken,
      &KOVA_RefreshToken,
      &KOVA_WorkSuiteWebServiceURL,
      &KOVA_WebServiceURL,
      &SP_RestrictedContentTypeOrder,
      &KOVA_CachedViewChangeElement,
      &KOVA_CustomDirectoryIconIndex,
      &KOVA_CustomDirectoryIconPath,
      &KOVA_NumSyncsBackgroundSyncSubFoldersOnly,
      &KOVA_NoDocSync,
      &Tenbrid_SyncIssueType,
      &Tenbrid_SyncIssueMessage,
      &Tenbrid_RemoteChangeInfo,
      &Tenbrid_LocalChangeInfo,
      &Tenbrid_RemoteChangeETag,
      &Etag,
      &Tenbrid_RemoteChangeStillToSync,
      &KOVA_RenamedFilename,
      &KOVA_EditDocSeenLocked,
      &Tenbrid_DocumentLaunched,
      &Tenbrid_LaunchedFilePath,
      &KOVA_DocManuallyCheckedOut,
      &KOVA_DocManuallyCheckedOutEditComplete,
      &Tenbrid_LaunchedWriteTime,
      &Tenbrid_LaunchedProcessKey,
      &KOVA_isBeingCoAuthored,
      &KOVA_PublishAsMajorVersion,
      &KOVA_CheckInComment,
      &KOVA_ContentLastModified,
      &KOVA_DeferMessageSyncUntil,
      &KOVA_InterimVersionData,
      &KOVA_InterimVersionLastSaveType,
      &Tenbrid_MarkAsFiledKey,
      &Tenbrid_PendingMarkAsFiled,
      &Tenbrid_MessageClass_Old,
      &Tenbrid_IconIndex_Old,
      &Tenbrid_FormRegionClass,
      &Tenbrid_BeforeFormRegionClass,
      &Tenbrid_FromServerETag,
      &Tenbrid_FromServerListId,
      &Tenbrid_FromServerItem,
      &Tenbrid_ItemContentType,
      &Tenbrid_FromServerShortItemId,
      &Tenbrid_FromServerVersion,
      &Tenbrid_UserRequestedOverwriteServerETag,
      &Tenbrid_UserRequestedServerWin,
      &KOVA_UserRequestedOverwriteServerLastModified,
      &Tenbrid_FromServerFileName,
      &Tenbrid_FromServerFileUrl,
      &Tenbrid_PreviousFromServerETag,
      &Tenbrid_FromServerFileId,
      &KOVA_FromServerExtension,
      &Tenbrid_ChangedFields,
      &Tenbrid_OlkIsDirty,
      &KOVA_SendAndFileFolder,
      &KOVA_OriginalName,
      &KOVA_AdditionalPropertyValue,
      &KOVA_ExtraPropertyKeys,
      &KOVA_RestrictNewDocSecurity,
      &KOVA_SetPropsOnAddition,
      &KOVA_FullTextProperty,
      &KOVA_DeletedItemGuid,
      &KOVA_DeletedItemGlobcnt,
      &Tenbrid_MessageIsUnchanged,
      &Tenbrid_MessageIsUnchanged_Office2003,
      &Tenbrid_IsContentChanged,
      &Tenbrid_OpenedByProcess,
      &Tenbrid_BrandNewMessage,
      &KOVA_DeleteIfSaveCancelled,
      &KOVA_ForcePromptForProperties,
      &KOVA_CancelCheckout,
      &KOVA_LockedPurpose,
      &KOVA_MessageLinks,
      &KOVA_AddedByMe,
      &KOVA_DuplicateHash,
      &KOVA_MovedFromFolder,
      &KOVA_DeletedFromFolder,
      &RemoteFileLastModified,
      &KOVA_MappedPropertiesXML,
      &KOVA_MessageId,
      &KOVA_HeaderDownloadType,
      &KOVA_DownloadFullItem,
      &KOVA_MakeAvailableOfflineUntil,
      &KOVA_OnlineEntryId,
      &KOVA_HasOnlinePreview,
      &KOVA_OnlinePreviewPath,
      &KOVA_OnlineEditPath,
      &KOVA_OnlineParentFolderUrl,
      &KOVA_OnlineBringOfflinePath,
      &KOVA_FolderOnlineResultFilter,
      &KOVA_FolderOnlineResultsQuery,
      &KOVA_IsFolderOnlineRecentDocs,
      &KOVA_TooBigOrigPath,
      &KOVA_IsShortcut,
      &KOVA_ShortcutURL,
      &KOVA_ShortcutExt,
      &KOVA_SyncModifiedRecentDays,
      &KOVA_SyncModifiedRecentDaysScaled,
      &KOVA_AttachmentsProcessed,
      &Tenbrid_ContentTypeId,
      &Tenbrid_AllowAddContent,
      &KOVASiteAllAvailableRepositories,
      &KOVAOptInFoldersAvailable,
      &KOVAOptInSiteRepositories,
      &KOVAOptInSiteRepositoriesHasChanges,
      &KOVAOptedInFolders,
      &Tenbrid_NoContentAllowed,
      &Tenbrid_NoDocsAllowed,
      &KOVA_HiddenFolder,
      &KOVA_ExpiredFolder,
      &KOVA_TemporaryRepository,
      &KOVA_TargetUsersFolder,
      &Tenbrid_SyncIssueFolderMessage,
      &Tenbrid_LastSyncDetailsFolderMessage,
      &KOVA_KeepFolderWithPending,
      &KOVA_CreateNewVersionOnCheckin,
      &KOVA_CopyMoveSource,
      &KOVA_AddItemMigrationLocation,
      &KOVA_AddFolderRecordType,
      &KOVA_RecordType,
      &KOVA_SetDocumentReference,
      &KOVA_LastFullSyncDateTime,
      &KOVA_IncrementalSyncMaxEditContentDate,
      &KOVA_IncrementalSyncLastDocId,
      &KOVA_IncrementalSyncSearchCriteria,
      &KOVA_IncrementalSyncSearchLibraries,
      &ows_PermMask,
      &KOVA_HasLuggageTags,
      &KOVA_HasBeenAutofiled,
      &KOVA_LastOpenedTime,
      &KOVA_AttachmentEntryID,
      &KOVA_DoNotAddToFolderIndex,
      &KOVA_PropNameToMatchForLaunchOnSync,
      &KOVA_PropValToMatchForLaunchOnSync,
      &KOVA_CreateDocSet,
      &KOVA_InsertDocNameIntoTitle,
      &KOVA_IDToBringForward,
      &KOVA_DocIdLib,
      &KOVA_OriginalAttachmentCreateDate,
      &KOVA_DocOpenedAsShared,
      &KOVA_ConvertedToHeader,
      &KOVA_PropWindowToOpenEntryIds,
      &KOVACRM_ContactEntites,
      &KOVA_SavedButNotProcessed,
      &KOVA_SiteCollectionLocations,
      &KOVA_PropertyBagProperties,
  };
  return all;
}

const std::vector<const _bstr_t*>& AllMessageClasses() {
  static const std::vector<const _bstr_t*> all = {
      &MsgClass_IPM_Post_KOVA_Doc,
      &MsgClass_IPM_Post_KOVA_CL,
      &MsgClass_IPM_Task_KOVA_CL,
      &MsgClass_IPM_Contact_KOVA_CL,
      &MsgClass_IPM_Document,
      &MsgClass_IPM_Note_KOVA,
      &MsgClass_IPM_Post_KOVA,
      &MsgClass_IPM_Post_KOVA_MultiItemMessage,
      &MsgClass_IPM_InfoPathForm,
  };
  return all;
}

const std::vector<const _bstr_t*>& AllRepositoryTypeNames() {
  static const std::vector<const _bstr_t*> all = {
      &RepoType_KOVA,
      &RepoType_SharePoint,
      &RepoType_WorkSite,
      &RepoType_Trim,
      &RepoType_FileShare,
      &RepoType_HighQ,
      &RepoType_Meridio,
      &RepoType_HPRM,
      &RepoType_OpenText,
      &RepoType_MFiles,
      &RepoType_KOVACRL,
      &RepoType_KOVAUnifiedGroups,
      &RepoType_NetDocuments,
      &RepoType_eDOCS,
  };
  return all;
}

const std::vector<const _bstr_t*>& AllFieldProgIds() {
  static const std::vector<const _bstr_t*> all = {
      &FieldProgId_KOVA_SimpleField_1,
      &FieldProgId_KOVA_DateTimeField_1,
  };
  return all;
}

}  // namespace LSPropertyNames
