// File versions read from real DLLs, and the comparison with the host
// product's DLL installed in the prefix's system directory.
#include "KOVAVersion.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSFileSystem.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

std::wstring Probe(const std::wstring& version)
{
    return TestProgramFolder() + L"\\VersionProbes\\VersionProbe-" + version + L".dll";
}

// The component's own module as CheckHostVersion gets it: a loaded image.
UniqueHModule LoadImage(const std::wstring& path)
{
    UniqueHModule module(LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    EXPECT_TRUE(module) << "cannot load " << ToLogText(path);
    return module;
}

class HostVersionCheckTest : public ::testing::Test
{
protected:
    bool Check(const std::wstring& ownVersion, const std::wstring& hostVersion)
    {
        UniqueHModule own = LoadImage(Probe(ownVersion));
        return LSFileSystem::CheckHostVersionAgainst(own.Get(), Probe(hostVersion));
    }
};

} // namespace

TEST(FileVersion, FourNumbersInOrderFromTheFixedInformation)
{
    const LSFileVersion version = LSFileSystem::GetFileVersion(Probe(L"16.0.4711.1000"));
    ASSERT_TRUE(version.valid);
    EXPECT_EQ(16, version.major);
    EXPECT_EQ(0, version.minor);
    EXPECT_EQ(4711, version.build);
    EXPECT_EQ(1000, version.revision);

    const std::wstring unversioned = TestProgramFolder() + L"\\ResourceLibraries\\KOVABrandResources32.dll";
    EXPECT_FALSE(LSFileSystem::GetFileVersion(unversioned).valid)
        << "no version resource";
    EXPECT_FALSE(LSFileSystem::GetFileVersion(TestProgramFolder() + L"\\NoSuchFile.dll").valid);
}

TEST(FileVersion, InstalledHostDllCarriesTheComponentVersion)
{
    const LSFileVersion host = LSFileSystem::GetHostDllVersion();
    ASSERT_TRUE(host.valid);
    EXPECT_EQ(KOVA_VERSION_MAJOR, host.major);
    EXPECT_EQ(KOVA_VERSION_MINOR, host.minor);
    EXPECT_EQ(KOVA_VERSION_PATCH, host.build);
}

TEST(FileVersion, HostDllPathGetsOneSeparator)
{
    EXPECT_EQ(L"C:\\windows\\system32\\KOVA32.dll", LSFileSystem::HostDllPathIn(L"C:\\windows\\system32\\"));
    EXPECT_EQ(L"C:\\windows\\system32\\KOVA32.dll", LSFileSystem::HostDllPathIn(L"C:\\windows\\system32"));
}

TEST_F(HostVersionCheckTest, ComponentAgreesWithTheInstalledHostDll)
{
    UniqueHModule component = LoadImage(TestProgramFolder() + L"\\KOVAUnifiedGroupsSync64.dll");
    EXPECT_TRUE(LSFileSystem::CheckHostVersion(component.Get()));
}

TEST_F(HostVersionCheckTest, RevisionIsNotComparedButBuildIs)
{
    LogCapture capture;
    EXPECT_TRUE(Check(L"5.1.2.200", L"5.1.2.100"));
    EXPECT_EQ(0u, capture.Lines().size()) << capture.All();

    EXPECT_FALSE(Check(L"5.1.3.0", L"5.1.2.0"));
    EXPECT_TRUE(capture.Contains("Current version 5.1.3.0 mismatch with KOVA 5.1.2.0")) << capture.All();
}

TEST_F(HostVersionCheckTest, UnreadableVersionFailsTheCheck)
{
    LogCapture capture;
    UniqueHModule own = LoadImage(Probe(L"5.1.2.0"));
    EXPECT_FALSE(LSFileSystem::CheckHostVersionAgainst(own.Get(), TestProgramFolder() + L"\\NoSuchFile.dll"));

    UniqueHModule unversioned = LoadImage(TestProgramFolder() + L"\\ResourceLibraries\\KOVABrandResources32.dll");
    EXPECT_FALSE(LSFileSystem::CheckHostVersionAgainst(unversioned.Get(), Probe(L"5.1.2.0")));
    EXPECT_EQ(2u, capture.Count("Failed comparing version with KOVA32.dll")) << capture.All();
}
