#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "KOVACommon/host/LSGroupColumnNames.h"
#include "KOVACommon/host/LSPropertyNames.h"

using namespace LSPropertyNames;

namespace {

// Uses the counted length so an embedded NUL would show up as a difference.
std::wstring Text(const _bstr_t& value) {
  const wchar_t* data = value;
  return data ? std::wstring(data, value.length()) : std::wstring();
}

std::vector<std::wstring> Texts(const std::vector<const _bstr_t*>& group) {
  std::vector<std::wstring> texts;
  for (const _bstr_t* entry : group) texts.push_back(Text(*entry));
  return texts;
}

int CountOf(const std::vector<std::wstring>& texts, const std::wstring& text) {
  int count = 0;
  for (const std::wstring& t : texts) count += (t == text) ? 1 : 0;
  return count;
}

std::vector<std::vector<const _bstr_t*>> AllGroups() {
  return {AllPropertyNames(), AllMessageClasses(), AllRepositoryTypeNames(),
          AllFieldProgIds()};
}

}  // namespace

TEST(LSPropertyNames, GroupsHaveTheSharedListSizes) {
  EXPECT_EQ(188u, AllPropertyNames().size());
  EXPECT_EQ(9u, AllMessageClasses().size());
  EXPECT_EQ(14u, AllRepositoryTypeNames().size());
  EXPECT_EQ(2u, AllFieldProgIds().size());
  const size_t withPrefix = AllPropertyNames().size() + AllMessageClasses().size() + 1 +
                            AllRepositoryTypeNames().size() + AllFieldProgIds().size();
  EXPECT_EQ(214u, withPrefix);
}

TEST(LSPropertyNames, EveryTextIsUniqueAndWellFormed) {
  std::set<std::wstring> seen{Text(MsgClassPrefix_SyncIssue)};
  for (const auto& group : AllGroups()) {
    for (const std::wstring& text : Texts(group)) {
      EXPECT_TRUE(seen.insert(text).second) << "duplicate: " << text;
      EXPECT_FALSE(text.empty());
      // A stray separator or blank means a list was split or copied wrongly.
      EXPECT_EQ(std::wstring::npos, text.find_first_of(L" ,;\t\r\n")) << text;
    }
  }
  EXPECT_EQ(214u, seen.size());
}

TEST(LSPropertyNames, GroupsKeepHeaderOrder) {
  EXPECT_EQ(&UniqueId, AllPropertyNames().front());
  EXPECT_EQ(&KOVA_PropertyBagProperties, AllPropertyNames().back());
  EXPECT_EQ(&MsgClass_IPM_Post_KOVA_Doc, AllMessageClasses().front());
  EXPECT_EQ(&MsgClass_IPM_InfoPathForm, AllMessageClasses().back());
  EXPECT_EQ(&RepoType_KOVA, AllRepositoryTypeNames().front());
  EXPECT_EQ(&RepoType_eDOCS, AllRepositoryTypeNames().back());
  EXPECT_EQ(&FieldProgId_KOVA_SimpleField_1, AllFieldProgIds().front());
  EXPECT_EQ(&FieldProgId_KOVA_DateTimeField_1, AllFieldProgIds().back());
}

TEST(LSPropertyNames, SyncIssuePrefixKeepsItsFinalFullStop) {
  EXPECT_EQ(L"IPM.Note.KOVA.SyncIssue.", Text(MsgClassPrefix_SyncIssue));
  EXPECT_EQ(std::wstring(SyncIssuePrefixW), Text(MsgClassPrefix_SyncIssue));
  EXPECT_EQ(L"IPM.Note.KOVA.SyncIssue.Conflict", std::wstring(SyncIssuePrefixW) + L"Conflict");
  // It is a prefix, not a class of its own.
  EXPECT_EQ(0, CountOf(Texts(AllMessageClasses()), SyncIssuePrefixW));
}

TEST(LSPropertyNames, AliasedRepositoryTypesOccurOnce) {
  const std::vector<std::wstring> types = Texts(AllRepositoryTypeNames());
  EXPECT_EQ(1, CountOf(types, L"KOVA"));
  EXPECT_EQ(1, CountOf(types, L"SharePoint"));
  EXPECT_EQ(&RepoType_KOVA, &RepoType_KOVAServer);
  EXPECT_EQ(&RepoType_SharePoint, &RepoType_SharePointServer);
  EXPECT_EQ(L"KOVA", Text(RepoType_KOVAServer));
  EXPECT_EQ(L"SharePoint", Text(RepoType_SharePointServer));
}

TEST(LSPropertyNames, ContactEntitesKeepsItsSpelling) {
  EXPECT_EQ(L"KOVACRM.ContactEntites", Text(KOVACRM_ContactEntites));
  EXPECT_EQ(1, CountOf(Texts(AllPropertyNames()), L"KOVACRM.ContactEntites"));
}

TEST(LSPropertyNames, NamesThisFilterUsesHaveTheirTexts) {
  const struct {
    const _bstr_t& name;
    const wchar_t* text;
  } used[] = {
      {UniqueId, L"UniqueId"},
      {VersionId, L"VersionId"},
      {DisplayName, L"DisplayName"},
      {FileName, L"FileName"},
      {Extension, L"Extension"},
      {Tenbrid_FolderLocation, L"Tenbrid.FolderLocation"},
      {Tenbrid_RepositoryLocation, L"Tenbrid.RepositoryLocation"},
      {KOVA_RepositoryOriginalLocation, L"KOVA.RepositoryOriginalLocation"},
      {Tenbrid_RepositoryType, L"Tenbrid.RepositoryType"},
      {Tenbrid_MainFolder, L"Tenbrid.MainFolder"},
      {Tenbrid_SyncDisabled, L"Tenbrid.SyncDisabled"},
      {KOVA_NoContentJustProperties, L"KOVA.NoContentJustProperties"},
      {Tenbrid_FromServerShortItemId, L"Tenbrid.FromServerShortItemId"},
      {Tenbrid_FromServerItem, L"Tenbrid.FromServerItem"},
  };
  const std::vector<std::wstring> properties = Texts(AllPropertyNames());
  for (const auto& entry : used) {
    EXPECT_EQ(entry.text, Text(entry.name));
    EXPECT_EQ(1, CountOf(properties, entry.text)) << entry.text;
  }
  EXPECT_EQ(L"KOVAUnifiedGroups", Text(RepoType_KOVAUnifiedGroups));
  EXPECT_EQ(std::wstring(FilterRepositoryTypeW), Text(RepoType_KOVAUnifiedGroups));
  EXPECT_EQ(L"KOVA.SimpleField.1", Text(FieldProgId_KOVA_SimpleField_1));
}

TEST(LSGroupColumnNames, DoNotClashWithSharedPropertyNames) {
  // Both kinds go into the same property map; a clash would overwrite a value.
  using namespace LSGroupColumnNames;
  const std::vector<std::wstring> columns = {OwsId, OwsTitle, OwsLocation, OwsParentFolders,
                                             OwsIncludeInTraining, OwsBackgroundSync,
                                             OwsHeaderDownloadType, SPIsList};
  const std::vector<std::wstring> properties = Texts(AllPropertyNames());
  EXPECT_EQ(columns.size(), std::set<std::wstring>(columns.begin(), columns.end()).size());
  for (const std::wstring& column : columns) EXPECT_EQ(0, CountOf(properties, column)) << column;
}
