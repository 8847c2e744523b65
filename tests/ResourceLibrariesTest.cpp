// The resource libraries as installed in the test prefix (InstallDir names
// their folder), loaded through the real loader as the module entry does.
#include "KOVAVersion.h"
#include "LSResourceLibrariesAccess.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSResourceLibrariesDetail.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "QuorvalCommon/hresult_exception.h"
#include "TestFiles.h"
#include "UserSettingGuard.h"

#include <gtest/gtest.h>

using namespace LSResourceLibraries;

namespace {

const std::wstring kInstallFolder = L"C:\\Program Files\\Quorval\\KOVA";

class ResourceLibrariesTest : public ::testing::Test
{
protected:
    void SetUp() override { LSResourceLibrariesAccess::Reset(); }
    // Later cases find the libraries as the test program's set-up left them.
    void TearDown() override
    {
        LSResourceLibrariesAccess::Reset();
        m_language.Delete();
        LoadAtProcessAttach(GetModuleHandleW(nullptr));
    }

    // What the module entry does at process attach, in the given language.
    void AttachWithLanguage(const wchar_t* language)
    {
        m_language.SetString(language);
        LoadAtProcessAttach(GetModuleHandleW(nullptr));
    }

    UserSettingGuard m_language{LSSettingTable::OverrideLangId.name};
};

std::string Narrow(const std::wstring& text)
{
    return ToLogText(text);
}

} // namespace

TEST_F(ResourceLibrariesTest, LanguageLibraryComesBeforeOwnCommonAndBrandLibraries)
{
    LogCapture capture;
    AttachWithLanguage(L"en");
    EXPECT_TRUE(capture.Contains("Looking in:" + Narrow(kInstallFolder))) << capture.All();
    // 6252 is in the language and the brand library; its token is replaced on load.
    EXPECT_EQ(L"Unified Groups for KOVA", LoadResourceString(6252));
    EXPECT_EQ(L"The server reported an RPC failure.", LoadResourceString(4043)); // common library only
    EXPECT_EQ(L"Quorval KOVA", LoadResourceString(6246)); // brand library only
    EXPECT_EQ(L"The Quorval KOVA web service reported an error.", LoadResourceString(4041));
    // The module's start-up takes the library loaded at attach, not a second mapping.
    const HMODULE language = LanguageLibrary(L"KOVAUnifiedGroupsSync64");
    EXPECT_NE(nullptr, language);
    EXPECT_EQ(language, LanguageLibrary(L"KOVAUnifiedGroupsSync64"));
}

TEST_F(ResourceLibrariesTest, GermanFindsItsLanguageLibraryAndFallsBackToTheGenericCommonLibrary)
{
    LogCapture capture;
    AttachWithLanguage(L"de");
    EXPECT_TRUE(capture.Contains("Found lang specific path to file " + Narrow(kInstallFolder) +
                                 "\\KOVAUnifiedGroupsSync64-de.dll"))
        << capture.All();
    EXPECT_FALSE(capture.Contains("\\KOVAUnifiedGroupsSync64.dll")) << "no generic language library is tried";
    EXPECT_TRUE(capture.Contains("Localised location:" + Narrow(kInstallFolder) + "\\KOVACommonResources32-de.dll"));
    EXPECT_TRUE(
        capture.Contains("Found generic path to file " + Narrow(kInstallFolder) + "\\KOVACommonResources32.dll"));
    EXPECT_TRUE(capture.Contains("Using language for langId 0, Lang de"));

    EXPECT_EQ(L"Exchange hat die Unified-Groups-Anfrage als ung\u00fcltig abgelehnt.", LoadResourceString(4265));
    EXPECT_EQ(L"Der Webdienst von Quorval KOVA hat einen Fehler gemeldet.", LoadResourceString(4041));
    // Not in the language library: the common library's text.
    EXPECT_EQ(L"The server reported an RPC failure.", LoadResourceString(4043));
}

TEST_F(ResourceLibrariesTest, MissingLanguageLibraryIsNormalAndNoGenericNameIsTried)
{
    LogCapture capture;
    m_language.SetString(L"fr");
    EXPECT_EQ(nullptr, LoadLanguageDll(L"KOVAUnifiedGroupsSync64"));
    EXPECT_TRUE(capture.Contains("Localised location:" + Narrow(kInstallFolder) + "\\KOVAUnifiedGroupsSync64-fr.dll"));
    EXPECT_FALSE(capture.Contains("Generic location:"));
    EXPECT_EQ(0u, capture.Count("Failed")) << capture.All();

    LoadAtProcessAttach(GetModuleHandleW(nullptr));
    EXPECT_EQ(L"The web service reported an error.", LoadResourceString(4041)); // common library
}

TEST_F(ResourceLibrariesTest, FolderWithoutLibrariesLeavesTextsAbsentAndTokensEmpty)
{
    ScratchFolder empty(L"KOVA-empty-install");
    LSResourceLibrariesAccess::SetInstallFolder(empty.Path());
    m_language.SetString(L"en");
    LogCapture capture;
    EXPECT_THROW(FindLocalisedFile(L"KOVABrandResources32", L"dll", true, L""), hresult_exception);
    EXPECT_EQ(nullptr, LoadUsersCommonResources(L""));
    EXPECT_TRUE(capture.Contains("LoadUsersCommonResources: Caught _com_error at interface -80070057"))
        << capture.All();
    EXPECT_TRUE(capture.Contains("Failed to locate generic path to file " + Narrow(empty.Path()) +
                                 "\\KOVACommonResources32.dll"));

    LoadAtProcessAttach(GetModuleHandleW(nullptr));
    EXPECT_TRUE(capture.Contains("LoadBrandResources: Caught _com_error at interface -80070057"));
    std::wstring text = L"stale";
    EXPECT_FALSE(LoadResourceString(6246, text));
    EXPECT_EQ(L"", text);
    std::wstring branded = L"A !!IDS_BRAND_TITLE_LONG!! B";
    ReplaceBrandTokens(branded);
    EXPECT_EQ(L"A  B", branded);

    // Libraries that are there but do not load.
    for (const wchar_t* name : {L"KOVACommonResources32.dll", L"KOVABrandResources32.dll"})
        WriteFileAged(empty / name, "not a library", 0);
    EXPECT_EQ(nullptr, LoadUsersCommonResources(L""));
    EXPECT_EQ(nullptr, LoadBrandResources(L""));
    EXPECT_TRUE(capture.Contains("Failed loading common resources dll:")) << capture.All();
    EXPECT_TRUE(capture.Contains(" " + Narrow(empty / L"KOVACommonResources32.dll")));
    EXPECT_TRUE(capture.Contains("Failed loading brand resources dll " + Narrow(empty / L"KOVABrandResources32.dll")));
}

TEST_F(ResourceLibrariesTest, EmptyInstallFolderLooksAtTheRootOfTheCurrentDrive)
{
    LSResourceLibrariesAccess::SetInstallFolder(L"");
    m_language.SetString(L"en");
    LogCapture capture;
    EXPECT_EQ(L"", FindLocalisedFile(L"KOVAUnifiedGroupsSync64", L"dll", false, L""));
    EXPECT_TRUE(capture.Contains("Localised location:\\KOVAUnifiedGroupsSync64-en.dll")) << capture.All();
}

TEST_F(ResourceLibrariesTest, FolderSettingOverridesTheInstallFolder)
{
    ScratchFolder empty(L"KOVA-empty-install");
    UserSettingGuard folder(L"KOVA.Test.ResourceFolder");
    folder.SetString(empty.Path());
    m_language.SetString(L"en");
    EXPECT_EQ(kInstallFolder + L"\\KOVABrandResources32.dll",
              FindLocalisedFile(L"KOVABrandResources32", L"dll", true, L""));
    EXPECT_EQ(nullptr, LoadBrandResources(L"KOVA.Test.ResourceFolder"));
}

TEST_F(ResourceLibrariesTest, IdentifiersNoLibraryHoldsComeBackEmpty)
{
    AttachWithLanguage(L"en");
    std::wstring text;
    EXPECT_FALSE(LoadResourceString(6259, text)); // its block exists in the brand library
    EXPECT_EQ(L"", text);
    EXPECT_FALSE(LoadResourceString(100, text)); // the test program has no string table
    // 16-bit identifiers only: this one would alias block 1.
    EXPECT_FALSE(LoadResourceString(0x10000 + 4041, text));
}

TEST_F(ResourceLibrariesTest, BrandTokensAreReplacedOnceEvenWhenTheReplacementHoldsItsOwnToken)
{
    AttachWithLanguage(L"en");
    std::wstring text = L"Open !!IDS_BRAND_VAULT_TITLE!! or !!IDS_BRAND_VAULT_TITLE!!.";
    ReplaceBrandTokens(text);
    EXPECT_EQ(L"Open KOVA Vault !!IDS_BRAND_VAULT_TITLE!! or KOVA Vault !!IDS_BRAND_VAULT_TITLE!!.", text);

    // Rows loaded while the table is built see the rows above them.
    EXPECT_EQ(L"Quorval KOVA Companion", LoadResourceString(6250));
    std::wstring plain = L"!!IDS_BRAN no token";
    ReplaceBrandTokens(plain);
    EXPECT_EQ(L"!!IDS_BRAN no token", plain);
}

TEST_F(ResourceLibrariesTest, CustomStoreTokenUsesTheOverrideOrTheShortTitle)
{
    AttachWithLanguage(L"en");
    std::wstring text = L"!!IDS_BRAND_TITLE_OR_CUSTOM_STORE!!";
    ReplaceBrandTokens(text);
    EXPECT_EQ(L"KOVA", text);

    LSResourceLibrariesAccess::Reset();
    UserSettingGuard storeName(LSSettingTable::OverrideMessageStoreName.name);
    storeName.SetString(L"Team Store");
    AttachWithLanguage(L"en");
    text = L"In !!IDS_BRAND_TITLE_OR_CUSTOM_STORE!!";
    ReplaceBrandTokens(text);
    EXPECT_EQ(L"In Team Store", text);
}

TEST_F(ResourceLibrariesTest, UserAgentIsTheFormattedVersionOnceAndEmptyWhenSwitchedOff)
{
    UserSettingGuard useUserAgent(LSSettingTable::UseUserAgent.name);
    AttachWithLanguage(L"en");
    const std::wstring expected = L"QuorvalKOVA-UnifiedGroups/" + MultiByteToWide(KOVA_SHORT_VERSION_TEXT, CP_ACP);
    EXPECT_EQ(expected, GetUserAgent());
    useUserAgent.SetDword(0);
    EXPECT_EQ(expected, GetUserAgent()) << "kept for the process";

    LSResourceLibrariesAccess::Reset();
    AttachWithLanguage(L"en");
    EXPECT_EQ(L"", GetUserAgent());
}

TEST(UserAgentFormat, OnlyOneStringConversionIsAccepted)
{
    using LSResourceLibraries::detail::IsSafeUserAgentFormat;
    EXPECT_TRUE(IsSafeUserAgentFormat(L"Agent/%s"));
    EXPECT_TRUE(IsSafeUserAgentFormat(L"Agent/%ls (100%%)"));
    EXPECT_TRUE(IsSafeUserAgentFormat(L"Agent"));
    EXPECT_FALSE(IsSafeUserAgentFormat(L"Agent/%s %s"));
    EXPECT_FALSE(IsSafeUserAgentFormat(L"Agent/%d"));
    EXPECT_FALSE(IsSafeUserAgentFormat(L"Agent/%"));
}

TEST_F(ResourceLibrariesTest, UserInterfaceLanguageIsUsedWithoutOverride)
{
    m_language.Delete();
    LogCapture capture;
    const CStdStr language = GetLanguage();
    EXPECT_FALSE(language.empty());
    const std::string kind =
        language.EqualsNoCase(L"en") ? "Using default language for langId " : "Using language for langId ";
    EXPECT_TRUE(capture.Contains(kind + std::to_string(GetUserDefaultUILanguage()) + ", Lang " + Narrow(language)))
        << capture.All();
}
