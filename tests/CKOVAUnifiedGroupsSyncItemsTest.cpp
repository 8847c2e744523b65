// Group item and top-folder properties through the filter's COM interface,
// with the host's property map recording every write.
#include "CKOVAUnifiedGroupsSyncAccess.h"
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"
#include "LogCapture.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "RegistryTestGuards.h"
#include "external/HostObjects/LSHostPropertyMap.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

using Calls = std::vector<std::wstring>;

// "method name=value (type)" per recorded call.
Calls Describe(const std::vector<LSHostPropertyMap::Call>& calls)
{
    static const wchar_t* const kTypes[] = {L"text", L"int", L"flag"};
    Calls described;
    for (const LSHostPropertyMap::Call& call : calls)
        described.push_back(call.method + L" " + call.name + L"=" + call.value + L" (" +
                            kTypes[static_cast<int>(call.type)] + L")");
    return described;
}

// {6B29FC40-CA47-1067-B31D-00DD010662DA}
const GUID kAlphaId = {0x6b29fc40, 0xca47, 0x1067, {0xb3, 0x1d, 0x00, 0xdd, 0x01, 0x06, 0x62, 0xda}};
const wchar_t* const kAlphaIdText = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
// {0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}
const GUID kBetaId = {0x0f1e2d3c, 0x4b5a, 0x6978, {0x87, 0x96, 0xa5, 0xb4, 0xc3, 0xd2, 0xe1, 0xf0}};
const wchar_t* const kBetaIdText = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
const wchar_t* const kAlphaUrl = L"https://contoso.sharepoint.com/sites/alpha/Shared Documents";
const wchar_t* const kBetaUrl = L"https://contoso.sharepoint.com/sites/beta/Shared Documents";
const wchar_t* const kStartPoint = L"https://contoso.sharepoint.com/UnifiedGroups";

class GroupItemPropertiesTest : public testing::Test
{
protected:
    GroupItemPropertiesTest()
        : m_settingsReady((LSSetting::GetInstance(), true)),
          m_parentFolders(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath(), LSSettingTable::ParentFolders.name),
          m_training(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath(), LSSettingTable::TrainingEnabled.name),
          m_headerType(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath(), LSSettingTable::HeaderDownloadType.name)
    {
    }

    void SetUp() override
    {
        m_parentFolders.Delete();
        m_training.Delete();
        m_headerType.Delete();
        ASSERT_EQ(S_OK, CKOVAUnifiedGroupsSync::CreateInstance(nullptr, __uuidof(ILSSyncFilter2),
                                                              reinterpret_cast<void**>(&m_filter)));
    }

    void SetGroups(std::vector<CKOVAUnifiedGroupsSync::Group> groups)
    {
        CKOVAUnifiedGroupsSyncAccess::SetGroups(*static_cast<CKOVAUnifiedGroupsSync*>(m_filter.GetInterfacePtr()),
                                                std::move(groups));
    }
    void SetAlphaAndBeta()
    {
        SetGroups({{kAlphaId, L"Team Alpha", kAlphaUrl}, {kBetaId, L"Team Beta", kBetaUrl}});
    }
    void SetStartPoint(const wchar_t* text) { ASSERT_EQ(S_OK, m_filter->SetSyncStartPointByString(_bstr_t(text))); }

    bool m_settingsReady; // the process's store has made the user key
    RegistryValueGuard m_parentFolders;
    RegistryValueGuard m_training;
    RegistryValueGuard m_headerType;
    ILSSyncFilter2Ptr m_filter;
    LSHostPropertyMapHolder m_map;
};

Calls GroupItemCalls(const std::wstring& id, const std::wstring& name, const std::wstring& url,
                     const std::wstring& parents, const std::wstring& training, const std::wstring& headerType)
{
    return {L"SetProperty ows-ID=" + id + L" (text)",
            L"SetProperty Tenbrid.FromServerShortItemId=" + id + L" (text)",
            L"SetProperty ows-Title=" + name + L" (text)",
            L"SetProperty ows-Location=" + url + L" (text)",
            L"SetProperty ows-Parent-x0020-Folders=" + parents + L" (text)",
            L"SetProperty ows-Include-x0020-In-x0020-Training=" + training + L" (text)",
            L"SetProperty ows-Background-x0020-Sync=1 (text)",
            L"SetProperty ows-Header-x0020-Download-x0020-Type=" + headerType + L" (text)"};
}

const Calls kTopFolderCalls = {
    std::wstring(L"SetProperty Tenbrid.RepositoryLocation=") + kStartPoint + L" (text)",
    std::wstring(L"SetProperty Tenbrid.FolderLocation=") + kStartPoint + L" (text)",
    std::wstring(L"SetProperty KOVA.RepositoryOriginalLocation=") + kStartPoint + L" (text)",
    L"SetProperty Tenbrid.RepositoryType=KOVAUnifiedGroups (text)",
    L"SetIntProperty Tenbrid.MainFolder=1 (int)",
    L"SetFlagProperty SPIsList=255 (flag)",
    L"SetIntProperty Tenbrid.SyncDisabled=0 (int)",
    L"SetFlagProperty KOVA.NoContentJustProperties=1 (flag)",
};

} // namespace

TEST_F(GroupItemPropertiesTest, GroupItemIsDescribedInOrderWithDefaults)
{
    SetAlphaAndBeta();
    LogCapture capture;
    ASSERT_EQ(S_OK, m_filter->GetItemBasicProps(1, m_map.Interface()));
    EXPECT_EQ((Calls{std::wstring(L"SetProperty UniqueId=") + kBetaIdText + L" (text)", L"SetProperty VersionId=1 (text)",
                     L"SetProperty DisplayName=Team Beta (text)", L"SetProperty FileName=Team Beta (text)",
                     L"SetProperty Extension=.msg (text)"}),
              Describe(m_map->Calls()));

    m_map->ClearCalls();
    ASSERT_EQ(S_OK, m_filter->SetItemProperties(1, m_map.Interface()));
    EXPECT_EQ(GroupItemCalls(kBetaIdText, L"Team Beta", kBetaUrl, L"Unified Groups", L"0", L"4"),
              Describe(m_map->Calls()));
    EXPECT_EQ((std::vector<std::string>{std::string("Item: {0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0} Team Beta Unified "
                                                    "Groups -> https://contoso.sharepoint.com/sites/beta/Shared Documents")}),
              capture.Texts());
    EXPECT_EQ(google::GLOG_WARNING, capture.Lines().at(0).severity);
}

TEST_F(GroupItemPropertiesTest, SettingsAreReadAtEveryCall)
{
    SetAlphaAndBeta();
    m_parentFolders.SetString(L"Groups\\Microsoft 365");
    m_training.SetDword(7);
    m_headerType.SetDword(4294967295u);
    ASSERT_EQ(S_OK, m_filter->SetItemProperties(0, m_map.Interface()));
    EXPECT_EQ(GroupItemCalls(kAlphaIdText, L"Team Alpha", kAlphaUrl, L"Groups\\Microsoft 365", L"1", L"4294967295"),
              Describe(m_map->Calls()));

    m_parentFolders.Delete();
    m_training.SetDword(0);
    m_headerType.SetDword(0);
    m_map->ClearCalls();
    ASSERT_EQ(S_OK, m_filter->SetItemProperties(0, m_map.Interface()));
    EXPECT_EQ(GroupItemCalls(kAlphaIdText, L"Team Alpha", kAlphaUrl, L"Unified Groups", L"0", L"0"),
              Describe(m_map->Calls()));
}

TEST_F(GroupItemPropertiesTest, SettingsAreReadInOrderBeforeAnythingIsWritten)
{
    SetAlphaAndBeta();
    // Each setting of the wrong type logs as it is read.
    m_parentFolders.SetDword(1);
    m_training.SetString(L"1");
    m_headerType.SetString(L"2");
    LogCapture capture;
    EXPECT_EQ(E_POINTER, m_filter->SetItemProperties(0, nullptr));
    const std::vector<std::string> texts = capture.Texts();
    ASSERT_EQ(6u, texts.size()) << capture.All();
    EXPECT_EQ("Failed to read string registry key with name 'KOVAUnifiedGroups.ParentFolders' invalid type 4", texts[0]);
    EXPECT_EQ("Error retrieving key: KOVAUnifiedGroups.TrainingEnabled from: 2 error: 0", texts[2]);
    EXPECT_EQ("Error retrieving key: KOVAUnifiedGroups.HeaderDownloadType from: 2 error: 0", texts[4]);
    EXPECT_EQ("CKOVAUnifiedGroupsSync::raw_SetItemProperties: Caught _com_error at interface -80004003, desc= msg=" +
                  ToLogText(SystemMessageText(E_POINTER)),
              texts[5]);
}

TEST_F(GroupItemPropertiesTest, FailedGroupWriteStopsAndKeepsEarlierWrites)
{
    SetAlphaAndBeta();
    m_map->FailWrite(L"ows-Title", E_ACCESSDENIED);
    LogCapture capture;
    EXPECT_EQ(E_ACCESSDENIED, m_filter->SetItemProperties(0, m_map.Interface()));
    Calls expected = GroupItemCalls(kAlphaIdText, L"Team Alpha", kAlphaUrl, L"Unified Groups", L"0", L"4");
    expected.resize(3);
    EXPECT_EQ(expected, Describe(m_map->Calls()));
    EXPECT_EQ(2u, m_map->Values().size());
    EXPECT_EQ(kAlphaIdText, m_map->Text(L"ows-ID"));
    EXPECT_EQ(kAlphaIdText, m_map->Text(L"Tenbrid.FromServerShortItemId"));
    EXPECT_EQ((std::vector<std::string>{"CKOVAUnifiedGroupsSync::raw_SetItemPropertiesUnexpected return: 80070005",
                                        "CKOVAUnifiedGroupsSync::raw_SetItemProperties: Caught HRESULT at interface "
                                        "-80070005"}),
              capture.Texts());

    LSHostPropertyMapHolder basic;
    basic->FailWrite(L"DisplayName", E_OUTOFMEMORY);
    capture.Clear();
    EXPECT_EQ(E_OUTOFMEMORY, m_filter->GetItemBasicProps(0, basic.Interface()));
    EXPECT_EQ(3u, basic->Calls().size());
    EXPECT_EQ(2u, basic->Values().size());
    EXPECT_EQ(L"1", basic->Text(L"VersionId"));
    EXPECT_TRUE(capture.Contains("CKOVAUnifiedGroupsSync::raw_GetItemBasicPropsUnexpected return: 8007000e"))
        << capture.All();
}

TEST_F(GroupItemPropertiesTest, IndexOutsideTheListFailsWithoutWriting)
{
    LogCapture capture;
    EXPECT_EQ(E_FAIL, m_filter->GetItemBasicProps(0, m_map.Interface()));
    EXPECT_EQ(E_FAIL, m_filter->SetItemProperties(0, m_map.Interface()));
    SetAlphaAndBeta();
    EXPECT_EQ(E_FAIL, m_filter->SetItemProperties(2, m_map.Interface()));
    EXPECT_TRUE(m_map->Calls().empty());
    EXPECT_EQ(1u, capture.Count("CKOVAUnifiedGroupsSync::raw_GetItemBasicProps: Caught std::exception at interface "
                                "-invalid vector subscript"));
    EXPECT_EQ(2u, capture.Count("CKOVAUnifiedGroupsSync::raw_SetItemProperties: Caught std::exception at interface "
                                "-invalid vector subscript"));
    EXPECT_EQ(E_POINTER, m_filter->GetItemBasicProps(0, nullptr));
}

// Any user can name a group: the file name is one Windows accepts (with the
// host's ".msg"), the display name and title stay the service's text. An
// empty name stays empty.
TEST_F(GroupItemPropertiesTest, TheFileNameIsOneWindowsAcceptsAndTheDisplayNameStaysExact)
{
    const std::wstring emoji = L"\U0001F600";
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"", L""},
        {L"Team Alpha", L"Team Alpha"},
        {L"1/2", L"1_2"},
        {L"..\\..\\x", L".._.._x"},
        {L"a<b>c:d\"e|f?g*h", L"a_b_c_d_e_f_g_h"},
        {std::wstring(L"nul\0tab\tline\r\n\x1F", 15), L"nul_tab_line___"},
        {L"name. . ", L"name"},
        {L" lead", L" lead"},
        {L".", L"_"},
        {L"..", L"_"},
        {L" . ", L"_"},
        {L"CON", L"CON_"},
        {L"nul.txt", L"nul_.txt"},
        {L"Com1", L"Com1_"},
        {L"LPT9.tar.gz", L"LPT9_.tar.gz"},
        {L"COM\u00b9", L"COM\u00b9_"},
        {L"aux .msg", L"aux_ .msg"},
        {L"CON .", L"CON_"},
        {L"CONSOLE", L"CONSOLE"},
        {L"COM10", L"COM10"},
        {std::wstring(300, L'a'), std::wstring(251, L'a')},
        {std::wstring(250, L'a') + emoji, std::wstring(250, L'a')},
        {std::wstring(249, L'a') + emoji + L"b", std::wstring(249, L'a') + emoji},
        {std::wstring(250, L'a') + L".  x", std::wstring(250, L'a')},
        {L"PRN." + std::wstring(300, L'x'), L"PRN_." + std::wstring(246, L'x')},
    };
    for (const auto& [displayName, fileName] : rows)
    {
        SetGroups({{kAlphaId, displayName, kAlphaUrl}});
        LSHostPropertyMapHolder basic;
        LSHostPropertyMapHolder full;
        ASSERT_EQ(S_OK, m_filter->GetItemBasicProps(0, basic.Interface()));
        ASSERT_EQ(S_OK, m_filter->SetItemProperties(0, full.Interface()));
        EXPECT_TRUE(basic->Has(L"FileName"));
        EXPECT_EQ(fileName, basic->Text(L"FileName")) << ToLogText(displayName);
        EXPECT_EQ(displayName, basic->Text(L"DisplayName"));
        EXPECT_EQ(displayName, full->Text(L"ows-Title"));
    }
}

TEST_F(GroupItemPropertiesTest, TopFolderIsDescribedWhateverTheIndex)
{
    SetStartPoint(kStartPoint);
    ASSERT_EQ(S_OK, m_filter->GetItemBasicProps(5000, m_map.Interface()));
    const Calls basic = Describe(m_map->Calls());
    ASSERT_EQ(3u, basic.size());
    EXPECT_TRUE(std::regex_match(basic[0], std::wregex(LR"(SetProperty UniqueId=\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-)"
                                                       LR"([0-9A-F]{4}-[0-9A-F]{12}\} \(text\))")))
        << ToLogText(basic[0]);
    EXPECT_EQ(L"SetProperty VersionId=1 (text)", basic[1]);
    EXPECT_EQ(std::wstring(L"SetProperty DisplayName=") + kStartPoint + L" (text)", basic[2]);
    const std::wstring firstId = m_map->Text(L"UniqueId");
    ASSERT_EQ(S_OK, m_filter->GetItemBasicProps(0, m_map.Interface()));
    EXPECT_NE(firstId, m_map->Text(L"UniqueId")) << "a new identifier at every call";

    m_map->ClearCalls();
    ASSERT_EQ(S_OK, m_filter->SetItemProperties(5000, m_map.Interface()));
    EXPECT_EQ(kTopFolderCalls, Describe(m_map->Calls()));
    EXPECT_EQ(0xFF, m_map->Number(L"SPIsList"));

    EXPECT_EQ(E_POINTER, m_filter->GetItemBasicProps(0, nullptr));
    EXPECT_EQ(E_POINTER, m_filter->SetItemProperties(0, nullptr));
}

TEST_F(GroupItemPropertiesTest, TopFolderRaisesEarlyFailuresAndReturnsLateOnes)
{
    SetStartPoint(kStartPoint);
    {
        m_map->FailWrite(L"Tenbrid.FolderLocation", E_ACCESSDENIED);
        LogCapture capture;
        EXPECT_EQ(E_ACCESSDENIED, m_filter->SetItemProperties(0, m_map.Interface()));
        EXPECT_EQ(Calls(kTopFolderCalls.begin(), kTopFolderCalls.begin() + 2), Describe(m_map->Calls()));
        EXPECT_EQ((std::vector<std::string>{"CKOVAUnifiedGroupsSync::SetTopFolderDetailsUnexpected return: 80070005",
                                            "CKOVAUnifiedGroupsSync::raw_SetItemProperties: Caught HRESULT at "
                                            "interface -80070005"}),
                  capture.Texts());
    }
    LSHostPropertyMapHolder map;
    map->FailWrite(L"SPIsList", E_UNEXPECTED);
    LogCapture capture;
    EXPECT_EQ(E_UNEXPECTED, m_filter->SetItemProperties(0, map.Interface()));
    EXPECT_EQ(Calls(kTopFolderCalls.begin(), kTopFolderCalls.begin() + 6), Describe(map->Calls()));
    EXPECT_EQ(5u, map->Values().size());
    EXPECT_EQ(1, map->Number(L"Tenbrid.MainFolder"));
    EXPECT_EQ(L"KOVAUnifiedGroups", map->Text(L"Tenbrid.RepositoryType"));
    EXPECT_EQ((std::vector<std::string>{"CKOVAUnifiedGroupsSync::SetTopFolderDetailsUnexpected return: 8000ffff"}),
              capture.Texts())
        << "returned directly, not through the boundary handler";
}
