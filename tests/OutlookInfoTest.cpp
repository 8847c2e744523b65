// The mail-client environment: profile name, per-profile folder and the
// Office major version, with the settings that steer them.
#include "LSDiagAccess.h"
#include "LSOutlookInfoAccess.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSFileSystem.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"
#include "TestFiles.h"
#include "UserSettingGuard.h"

#include <gtest/gtest.h>

namespace {

class OutlookInfoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LSOutlookInfoAccess::Reset();
        m_forced.Delete();
        m_cachedLocation.Delete();
    }
    void TearDown() override
    {
        LSOutlookInfoAccess::Reset();
        LSDiagAccess::SetProcessFacts(m_wasOffice, m_wasTestRunner);
    }

    // Throws when the search fails; returns the HRESULT thrown, S_OK otherwise.
    HRESULT MajorVersionFailure()
    {
        try
        {
            LSOutlookInfo::GetOfficeProcessMajorVersion();
            return S_OK;
        }
        catch (const hresult_exception& failure)
        {
            return failure.hr();
        }
    }

    UserSettingGuard m_forced{LSSettingTable::ForceOutlookVersion.name};
    UserSettingGuard m_cachedLocation{LSSettingTable::CachedOutlookLocation.name};
    const bool m_wasOffice = LSDiag::IsOfficeProcess();
    const bool m_wasTestRunner = LSDiag::IsTestRunnerProcess();
};

} // namespace

TEST_F(OutlookInfoTest, FirstProfileNameStaysAndADifferentOneIsLogged)
{
    LogCapture capture;
    LSOutlookInfo::SetProfileName(L"Work");
    LSOutlookInfo::SetProfileName(L"Work");
    EXPECT_EQ(1u, capture.Count("Cached profile name Work"));
    EXPECT_EQ(0u, capture.Count("different")) << capture.All();
    LSOutlookInfo::SetProfileName(L"work");
    EXPECT_TRUE(capture.Contains("Cached profile name is different from currentWork -> cur work")) << capture.All();
    EXPECT_EQ(L"Work", LSOutlookInfo::GetProfileName());
}

TEST_F(OutlookInfoTest, ProfileFolderIsCreatedRecordedAndKeptForTheFirstProfile)
{
    UserSettingGuard lastProfileDir(LSSettingTable::LastActiveProfileDir.name);
    m_forced.SetString(L"16");
    const std::wstring subPath = L"\\KOVA-ProfileTest";
    const std::wstring productFolder = LSSetting::GetInstance().GetUsersDataFolder() + subPath;
    const std::wstring expected = productFolder + L"\\Office 16 Profile - Work";
    RemoveTree(productFolder);

    LSOutlookInfo::InitialiseProfileFolder(subPath, L"Work");
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(expected.c_str()));
    EXPECT_EQ(expected, LSSetting::GetInstance().GetUserString(LSSettingTable::LastActiveProfileDir.name, L""));
    EXPECT_EQ(expected, LSOutlookInfo::GetProfileFilePath(L""));
    EXPECT_EQ(expected + L"\\AuthCache-unifiedgroups.db",
              LSOutlookInfo::GetProfileFilePath(L"AuthCache-unifiedgroups.db"));

    LogCapture capture;
    LSOutlookInfo::InitialiseProfileFolder(subPath, L"Home");
    EXPECT_EQ(expected, LSOutlookInfo::GetProfileFilePath(L""));
    EXPECT_TRUE(capture.Contains("Cached profile name is different from currentWork -> cur Home")) << capture.All();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((productFolder + L"\\Office 16 Profile - Home").c_str()));
    RemoveTree(productFolder);
}

TEST_F(OutlookInfoTest, ProfileFolderKeepsItsValueWhenNoVersionIsFound)
{
    LSOutlookInfo::SetProfileName(L"Work");
    EXPECT_THROW(LSOutlookInfo::InitialiseProfileFolder(L"\\KOVA-ProfileTest", L"Work"), hresult_exception);
    EXPECT_EQ(L"", LSOutlookInfo::GetProfileFilePath(L""));
    RemoveTree(LSSetting::GetInstance().GetUsersDataFolder() + L"\\KOVA-ProfileTest");
}

TEST_F(OutlookInfoTest, ForcedVersionIsTakenFromTheLeadingNumber)
{
    LogCapture capture;
    m_forced.SetString(L" x16");
    EXPECT_EQ(0u, LSOutlookInfo::GetOfficeProcessMajorVersion());
    m_forced.SetString(L"16.0");
    EXPECT_EQ(16u, LSOutlookInfo::GetOfficeProcessMajorVersion()) << "0 was not cached";
    EXPECT_TRUE(capture.Contains("Got outlook version string:16.0"));
    EXPECT_TRUE(capture.Contains("Returning Office major version number:16"));
    m_forced.SetString(L"15");
    EXPECT_EQ(16u, LSOutlookInfo::GetOfficeProcessMajorVersion()) << "16 was cached";
}

TEST_F(OutlookInfoTest, NoMailClientFileAndNoCachedLocationFails)
{
    LogCapture capture;
    EXPECT_EQ(E_FAIL, MajorVersionFailure());
    EXPECT_TRUE(capture.Contains("GetDllPathFromCurrentProcess failed - MSPST32.dll:126")) << capture.All();
    EXPECT_TRUE(capture.Contains("GetDllPathFromCurrentProcess failed - MSMAPI32.dll:126"));
    EXPECT_TRUE(capture.Contains("LSOutlookInfo::GetOfficeProcessMajorVersion - Failed to get path to office dll"));
}

TEST_F(OutlookInfoTest, CachedLocationGivesTheVersionOfItsFile)
{
    const std::wstring probe = TestProgramFolder() + L"\\VersionProbes\\VersionProbe-16.0.4711.1000.dll";
    m_cachedLocation.SetString(probe);
    LogCapture capture;
    EXPECT_EQ(16u, LSOutlookInfo::GetOfficeProcessMajorVersion());
    EXPECT_TRUE(capture.Contains("Loading cached MSPST location (as last desperate measure) " + ToLogText(probe)));
    EXPECT_TRUE(capture.Contains("got major version from outlook.exe process 16"));
}

TEST_F(OutlookInfoTest, FileWithoutVersionFailsAlsoInATestRunnerWhenTheInstallerKnowsNoClient)
{
    m_cachedLocation.SetString(TestProgramFolder() + L"\\ResourceLibraries\\KOVABrandResources32.dll");
    // Wine's installer knows none of the mail client's component categories.
    EXPECT_TRUE(LSOutlookInfo::GetInstalledOutlookVersions().empty());

    LogCapture capture;
    LSDiagAccess::SetProcessFacts(false, true);
    EXPECT_EQ(E_FAIL, MajorVersionFailure());
    EXPECT_TRUE(capture.Contains(
        "LSOutlookInfo::GetOfficeProcessMajorVersion - No installed Outlook found by Windows Installer"))
        << capture.All();
    LSDiagAccess::SetProcessFacts(false, false);
    EXPECT_EQ(E_FAIL, MajorVersionFailure());
    EXPECT_TRUE(capture.Contains(
        "LSOutlookInfo::GetOfficeProcessMajorVersion - Failed to get version data from Outlook process"));
}

TEST_F(OutlookInfoTest, OfficeProcessReadsItsOwnExecutable)
{
    // The test program carries the file version 16.0.4711.1000.
    ASSERT_EQ(16, LSFileSystem::GetFileVersion(LSSetting::GetModuleFileNameSafe(nullptr)).major);
    LSDiagAccess::SetProcessFacts(true, false);
    LogCapture capture;
    EXPECT_EQ(16u, LSOutlookInfo::GetOfficeProcessMajorVersion());
    EXPECT_TRUE(capture.Contains("got major version from outlook.exe process 16")) << capture.All();
    EXPECT_FALSE(capture.Contains("GetDllPathFromCurrentProcess")) << capture.All();
}

TEST_F(OutlookInfoTest, DllPathOfALoadedModule)
{
    LogCapture capture;
    const CStdStr path = LSOutlookInfo::GetDllPathFromCurrentProcess(L"kernel32.dll");
    ASSERT_GT(path.size(), 13u);
    EXPECT_TRUE(CStdStr(path.substr(path.size() - 13)).EqualsNoCase(L"\\kernel32.dll")) << ToLogText(path);
    EXPECT_TRUE(capture.Contains("GetDllPathFromCurrentProcess returned - " + ToLogText(path)));
}
