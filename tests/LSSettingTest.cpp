// The settings store against the prefix's registry. Fresh stores over scratch
// key paths let each case choose which of the four keys exist.
#include "LSSettingAccess.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "RegistryTestGuards.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

const wchar_t* const kSettingsPath = L"SOFTWARE\\\\KOVATests\\\\Store";
const wchar_t* const kPolicyPath = L"SOFTWARE\\\\Policies\\\\KOVATests\\\\Store";

void WriteRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size)
{
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                             nullptr, key.Put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
}

void WriteText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
               DWORD type = REG_SZ)
{
    WriteRaw(root, path, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value)
{
    WriteRaw(root, path, name, REG_DWORD, &value, sizeof(value));
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, key.Put()));
    RegDeleteValueW(key.Get(), name.c_str());
}

class LSSettingStoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (RegistryKeyGuard* key : {&m_userPolicy, &m_machinePolicy, &m_user, &m_machine})
            key->Create();
    }

    static LSSettingAccess::Store NewStore() { return LSSettingAccess::Create(kSettingsPath, kPolicyPath); }

    struct Place
    {
        HKEY root;
        const wchar_t* path;
    };
    static Place PlaceOf(ConfigSource source)
    {
        switch (source)
        {
        case UserPolicy: return {HKEY_CURRENT_USER, kPolicyPath};
        case MachinePolicy: return {HKEY_LOCAL_MACHINE, kPolicyPath};
        case User: return {HKEY_CURRENT_USER, kSettingsPath};
        default: return {HKEY_LOCAL_MACHINE, kSettingsPath};
        }
    }
    static void PutText(ConfigSource source, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ)
    {
        WriteText(PlaceOf(source).root, PlaceOf(source).path, name, text, type);
    }
    static void PutDword(ConfigSource source, const std::wstring& name, DWORD value)
    {
        WriteDword(PlaceOf(source).root, PlaceOf(source).path, name, value);
    }
    static void PutRaw(ConfigSource source, const std::wstring& name, DWORD type, const void* data, DWORD size)
    {
        WriteRaw(PlaceOf(source).root, PlaceOf(source).path, name, type, data, size);
    }
    static void Remove(ConfigSource source, const std::wstring& name)
    {
        DeleteValue(PlaceOf(source).root, PlaceOf(source).path, name);
    }

    RegistryKeyGuard m_userPolicy{HKEY_CURRENT_USER, kPolicyPath};
    RegistryKeyGuard m_machinePolicy{HKEY_LOCAL_MACHINE, kPolicyPath};
    RegistryKeyGuard m_user{HKEY_CURRENT_USER, kSettingsPath};
    RegistryKeyGuard m_machine{HKEY_LOCAL_MACHINE, kSettingsPath};
};

} // namespace

TEST(LSSettingKeyPaths, AreFormedWithDoubledSeparators)
{
    EXPECT_EQ(L"SOFTWARE\\\\C\\\\P", LSSetting::SettingsKeyPathFor({L"C", L"P"}));
    EXPECT_EQ(L"SOFTWARE\\\\Policies\\\\C\\\\P", LSSetting::PolicyKeyPathFor({L"C", L"P"}));
    EXPECT_EQ(L"SOFTWARE\\\\Quorval\\\\Quorval KOVA", LSSetting::GetSettingsKeyPath());
    EXPECT_EQ(L"SOFTWARE\\\\Policies\\\\Quorval\\\\Quorval KOVA", LSSetting::GetPolicyKeyPath());
}

TEST(LSSettingKeyPaths, CompanyAndProductComeFromTheInstallerKeyOnlyWhenBothAreUsable)
{
    RegistryValueGuard company(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA", L"Company");
    RegistryValueGuard product(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA", L"ProductName");
    auto names = [] {
        LSSetting::CompanyAndProduct found = LSSetting::GetCompanyAndProduct();
        return found.company + L"|" + found.product;
    };

    company.Delete();
    product.Delete();
    EXPECT_EQ(L"Quorval|Quorval KOVA", names());

    company.SetString(L"Acme");
    product.SetString(L"Acme Files");
    EXPECT_EQ(L"Acme|Acme Files", names());

    product.Delete();
    EXPECT_EQ(L"Quorval|Quorval KOVA", names()) << "company without product";

    product.SetString(L"Acme Files", REG_EXPAND_SZ);
    EXPECT_EQ(L"Quorval|Quorval KOVA", names()) << "only REG_SZ is accepted";

    product.SetString(std::wstring(130, L'x')); // 262 bytes with its NUL
    EXPECT_EQ(L"Quorval|Quorval KOVA", names()) << "too long for the 260-byte buffer";

    product.SetString(std::wstring(129, L'x'));
    EXPECT_EQ(L"Acme|" + std::wstring(129, L'x'), names());
}

TEST_F(LSSettingStoreTest, PolicyKeysBeatUserKeyBeatsMachineKey)
{
    const std::wstring name = L"KOVATests.Precedence";
    for (ConfigSource source : {UserPolicy, MachinePolicy, User, Machine})
    {
        PutDword(source, name, 10 + source);
        PutText(source, name + L"Text", L"from " + std::to_wstring(source));
    }
    LSSettingAccess::Store store = NewStore();
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3}), LSSettingAccess::SourceCodes(*store));

    for (ConfigSource winner : {UserPolicy, MachinePolicy, User, Machine})
    {
        DwordConfigDetails number = store->GetUserDwordConfigDetails(name, 99);
        EXPECT_EQ(10u + winner, number.value);
        EXPECT_EQ(static_cast<uint32_t>(winner), number.source);
        StringConfigDetails text = store->GetUserStringConfigDetails(name + L"Text", L"default");
        EXPECT_EQ(L"from " + std::to_wstring(winner), text.value);
        EXPECT_EQ(static_cast<uint32_t>(winner), text.source);
        EXPECT_EQ(text.value, store->GetUserString(name + L"Text", L"default"));
        Remove(winner, name);
        Remove(winner, name + L"Text");
    }

    LogCapture capture;
    DwordConfigDetails number = store->GetUserDwordConfigDetails(name, 99);
    EXPECT_EQ(99u, number.value);
    EXPECT_EQ(4u, number.source);
    StringConfigDetails text = store->GetUserStringConfigDetails(name + L"Text", L"default");
    EXPECT_EQ(L"default", text.value);
    EXPECT_EQ(4u, text.source);
    EXPECT_EQ("", capture.All()) << "a missing value is never logged";
}

TEST_F(LSSettingStoreTest, NumberOfTheWrongTypeOrSizeIsLoggedAndPassedOver)
{
    LSSettingAccess::Store store = NewStore();
    PutText(User, L"KOVATests.Number", L"7"); // four bytes with its NUL
    PutDword(Machine, L"KOVATests.Number", 9);
    {
        LogCapture capture;
        DwordConfigDetails number = store->GetUserDwordConfigDetails(L"KOVATests.Number", 1);
        EXPECT_EQ(9u, number.value);
        EXPECT_EQ(3u, number.source);
        EXPECT_EQ((std::vector<std::string>{"Failed to read dword registry key invalid type 1",
                                            "Error retrieving key: KOVATests.Number from: 2 error: 0"}),
                  capture.Texts());
        for (const CapturedLine& line : capture.Lines())
            EXPECT_EQ(google::GLOG_ERROR, line.severity);
    }
    {
        const unsigned long long wide = 5;
        PutRaw(User, L"KOVATests.Number", REG_QWORD, &wide, sizeof(wide));
        LogCapture capture;
        DwordConfigDetails number = store->GetUserDwordConfigDetails(L"KOVATests.Number", 1);
        EXPECT_EQ(9u, number.value);
        EXPECT_EQ(3u, number.source);
        EXPECT_EQ((std::vector<std::string>{"Error retrieving key: KOVATests.Number from: 2 error: 234"}),
                  capture.Texts());
    }
}

TEST_F(LSSettingStoreTest, TextOfTheWrongTypeIsLoggedOnceAndPassedOver)
{
    LSSettingAccess::Store store = NewStore();
    PutDword(User, L"KOVATests.Text", 1);
    PutText(Machine, L"KOVATests.Text", L"machine");
    {
        LogCapture capture;
        StringConfigDetails text = store->GetUserStringConfigDetails(L"KOVATests.Text", L"default");
        EXPECT_EQ(L"machine", text.value);
        EXPECT_EQ(3u, text.source);
        EXPECT_EQ((std::vector<std::string>{"Failed to read string registry key with name 'KOVATests.Text' invalid type 4"}),
                  capture.Texts());
    }
    {
        const std::vector<BYTE> binary(300, 0x41); // needs the second query
        PutRaw(User, L"KOVATests.Text", REG_BINARY, binary.data(), static_cast<DWORD>(binary.size()));
        LogCapture capture;
        EXPECT_EQ(L"machine", store->GetUserString(L"KOVATests.Text", L"default"));
        EXPECT_EQ((std::vector<std::string>{"Failed to read string registry key invalid type 3"}), capture.Texts());
    }
}

TEST_F(LSSettingStoreTest, LongExpandableAndMultiStringValuesReadWhole)
{
    LSSettingAccess::Store store = NewStore();
    for (size_t length : {0u, 129u, 130u, 1000u, 40000u})
    {
        const std::wstring text(length, L'k');
        PutText(User, L"KOVATests.Long", text);
        StringConfigDetails read = store->GetUserStringConfigDetails(L"KOVATests.Long", L"default");
        EXPECT_EQ(text, read.value) << length;
        EXPECT_EQ(2u, read.source);
    }

    SetEnvironmentVariableW(L"KOVA_TEST_ROOT", L"C:\\kova root");
    PutText(User, L"KOVATests.Expand", L"%KOVA_TEST_ROOT%\\logs", REG_EXPAND_SZ);
    EXPECT_EQ(L"C:\\kova root\\logs", store->GetUserString(L"KOVATests.Expand", L""));
    PutText(User, L"KOVATests.Expand", L"%KOVA_TEST_ROOT%" + std::wstring(300, L'x'), REG_EXPAND_SZ);
    EXPECT_EQ(L"C:\\kova root" + std::wstring(300, L'x'), store->GetUserString(L"KOVATests.Expand", L""));
    PutText(User, L"KOVATests.Expand", L"", REG_EXPAND_SZ);
    StringConfigDetails empty = store->GetUserStringConfigDetails(L"KOVATests.Expand", L"default");
    EXPECT_EQ(L"", empty.value);
    EXPECT_EQ(2u, empty.source);
    PutText(User, L"KOVATests.Expand", L"%KOVA_TEST_ROOT%", REG_SZ);
    EXPECT_EQ(L"%KOVA_TEST_ROOT%", store->GetUserString(L"KOVATests.Expand", L"")) << "REG_SZ is not expanded";
    SetEnvironmentVariableW(L"KOVA_TEST_ROOT", nullptr);

    const wchar_t multi[] = L"first\0second\0";
    PutRaw(User, L"KOVATests.Multi", REG_MULTI_SZ, multi, sizeof(multi));
    EXPECT_EQ(L"first", store->GetUserString(L"KOVATests.Multi", L""));

    const std::wstring unterminated(200, L'u'); // stored without its NUL
    PutRaw(User, L"KOVATests.Unterminated", REG_SZ, unterminated.data(),
           static_cast<DWORD>(unterminated.size() * sizeof(wchar_t)));
    EXPECT_EQ(unterminated, store->GetUserString(L"KOVATests.Unterminated", L""));
}

TEST_F(LSSettingStoreTest, UserKeyDeletedWhileRunningIsReopened)
{
    LSSettingAccess::Store store = NewStore();
    PutText(User, L"KOVATests.Reopen", L"before");
    PutDword(User, L"KOVATests.ReopenNumber", 1);
    PutText(Machine, L"KOVATests.Reopen", L"machine");
    PutDword(Machine, L"KOVATests.ReopenNumber", 3);
    ASSERT_EQ(L"before", store->GetUserString(L"KOVATests.Reopen", L""));

    // Deleted and created again: read from the new key.
    m_user.DeleteTree();
    PutText(User, L"KOVATests.Reopen", L"after");
    PutDword(User, L"KOVATests.ReopenNumber", 2);
    {
        LogCapture capture;
        StringConfigDetails text = store->GetUserStringConfigDetails(L"KOVATests.Reopen", L"");
        EXPECT_EQ(L"after", text.value);
        EXPECT_EQ(2u, text.source);
        EXPECT_EQ((std::vector<std::string>{"GetUserStringConfigDetails Key Deleted source: 2"}), capture.Texts());
        EXPECT_EQ(google::GLOG_WARNING, capture.Lines().at(0).severity);
    }
    // The reopened user key still takes writes.
    EXPECT_TRUE(store->SaveUserString(L"KOVATests.Saved", L"written after reopening", L""));
    EXPECT_EQ(L"written after reopening", store->GetUserString(L"KOVATests.Saved", L""));

    // Deleted and gone: the walk passes on to the machine key.
    m_user.DeleteTree();
    {
        LogCapture capture;
        StringConfigDetails text = store->GetUserStringConfigDetails(L"KOVATests.Reopen", L"");
        EXPECT_EQ(L"machine", text.value);
        EXPECT_EQ(3u, text.source);
        EXPECT_EQ((std::vector<std::string>{"GetUserStringConfigDetails Key Deleted source: 2",
                                            "Failed to reopen key 2"}),
                  capture.Texts());
    }
    {
        LogCapture capture;
        DwordConfigDetails number = store->GetUserDwordConfigDetails(L"KOVATests.ReopenNumber", 0);
        EXPECT_EQ(3u, number.value);
        EXPECT_EQ(3u, number.source);
        EXPECT_EQ((std::vector<std::string>{"GetUserDwordConfigDetails Key Deleted source: 2",
                                            "Failed to reopen key 2"}),
                  capture.Texts());
    }
    m_user.Create();
    PutDword(User, L"KOVATests.ReopenNumber", 4);
    DwordConfigDetails number = store->GetUserDwordConfigDetails(L"KOVATests.ReopenNumber", 0);
    EXPECT_EQ(4u, number.value);
    EXPECT_EQ(2u, number.source);
}

TEST_F(LSSettingStoreTest, SavedTextCarriesItsTerminatingNul)
{
    LSSettingAccess::Store store = NewStore();
    const std::wstring value = L"2026-01-02T03:04:05Z";
    ASSERT_TRUE(store->SaveUserString(L"KOVATests.Saved", value, L""));

    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_READ, key.Put()));
    std::vector<wchar_t> buffer(64, static_cast<wchar_t>(0xCCCC)); // not zeroed, as some readers do
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.Get(), L"KOVATests.Saved", nullptr, &type,
                                              reinterpret_cast<BYTE*>(buffer.data()), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((value.size() + 1) * sizeof(wchar_t), size);
    EXPECT_EQ(value, std::wstring(buffer.data()));
    EXPECT_EQ(value, store->GetUserString(L"KOVATests.Saved", L""));
}

TEST_F(LSSettingStoreTest, SavingTheEffectiveValueWritesNothing)
{
    LSSettingAccess::Store store = NewStore();
    PutText(MachinePolicy, L"KOVATests.Enforced", L"policy");
    EXPECT_TRUE(store->SaveUserString(L"KOVATests.Enforced", L"policy", L""));
    EXPECT_TRUE(store->SaveUserString(L"KOVATests.Defaulted", L"same as default", L"same as default"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kSettingsPath) &&
                 RegGetValueW(HKEY_CURRENT_USER, kSettingsPath, L"KOVATests.Enforced", RRF_RT_ANY, nullptr, nullptr,
                              nullptr) == ERROR_SUCCESS);
    EXPECT_NE(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kSettingsPath, L"KOVATests.Defaulted", RRF_RT_ANY,
                                          nullptr, nullptr, nullptr));

    // A different value goes to the user key, and the policy still wins.
    EXPECT_TRUE(store->SaveUserString(L"KOVATests.Enforced", L"Policy", L""));
    EXPECT_EQ(L"policy", store->GetUserString(L"KOVATests.Enforced", L""));
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kSettingsPath, L"KOVATests.Enforced", RRF_RT_REG_SZ,
                                          nullptr, nullptr, nullptr));
}

TEST(LSSettingUnusableKeys, EveryReadGivesTheDefaultAndSavingFails)
{
    // A non-volatile key cannot be created below a volatile one.
    RegistryKeyGuard scratch(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Volatile");
    UniqueHKey volatileKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Volatile", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, volatileKey.Put(), nullptr));

    LogCapture capture;
    LSSettingAccess::Store store =
        LSSettingAccess::Create(L"SOFTWARE\\KOVATests\\Volatile\\Settings", L"SOFTWARE\\Policies\\KOVATests\\Missing");
    EXPECT_TRUE(LSSettingAccess::SourceCodes(*store).empty());
    EXPECT_FALSE(LSSettingAccess::UserKeyOpen(*store));
    EXPECT_EQ((std::vector<std::string>{"Failed to get machine settings keys",
                                        "Failed to get machine policy settings keys",
                                        "Failed to get user policy settings keys", "Failed to get user settings keys"}),
              capture.Texts());

    capture.Clear();
    DwordConfigDetails number = store->GetUserDwordConfigDetails(L"KOVATests.Any", 17);
    EXPECT_EQ(17u, number.value);
    EXPECT_EQ(4u, number.source);
    StringConfigDetails text = store->GetUserStringConfigDetails(L"KOVATests.Any", L"fallback");
    EXPECT_EQ(L"fallback", text.value);
    EXPECT_EQ(4u, text.source);
    EXPECT_FALSE(store->SaveUserString(L"KOVATests.Any", L"value", L""));
    EXPECT_EQ((std::vector<std::string>{"Invalid key - Failed to save user string KOVATests.Any"}), capture.Texts());
}

TEST_F(LSSettingStoreTest, UsersDataFolderHonoursTheOverrideReadOnce)
{
    {
        LSSettingAccess::Store store = NewStore();
        wchar_t localAppData[MAX_PATH] = {};
        ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, localAppData));
        EXPECT_EQ(std::wstring(localAppData), store->GetUsersDataFolder());
    }
    PutText(User, LSSettingTable::OverrideAppDataPath.name, L"Q:\\does\\not\\exist");
    LSSettingAccess::Store store = NewStore();
    EXPECT_EQ(L"Q:\\does\\not\\exist", store->GetUsersDataFolder());
    PutText(User, LSSettingTable::OverrideAppDataPath.name, L"Q:\\changed");
    EXPECT_EQ(L"Q:\\does\\not\\exist", store->GetUsersDataFolder()) << "read once";
}

TEST(LSSettingProcessStore, ReadsAndWritesTheProductKeys)
{
    LSSetting& store = LSSetting::GetInstance();
    EXPECT_EQ(&store, &LSSetting::GetInstance());
    RegistryValueGuard value(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath(), L"KOVATests.ProcessStore");
    value.SetString(L"from the user key");
    StringConfigDetails text = store.GetUserStringConfigDetails(L"KOVATests.ProcessStore", L"");
    EXPECT_EQ(L"from the user key", text.value);
    EXPECT_EQ(2u, text.source);
    EXPECT_TRUE(store.SaveUserString(L"KOVATests.ProcessStore", L"saved", L""));
    EXPECT_EQ(L"saved", store.GetUserString(L"KOVATests.ProcessStore", L""));
}

TEST(LSSettingModuleFileName, IsWholeForLongPathsAndEmptyWhenUnknown)
{
    const CStdStr exe = LSSetting::GetModuleFileNameSafe(nullptr);
    EXPECT_NE(std::wstring::npos, exe.ToLower().find(L"unitandcomponenttests.exe")) << ToLogText(exe);
    EXPECT_EQ(L"", LSSetting::GetModuleFileNameSafe(reinterpret_cast<HMODULE>(0x12340000)));

    // A copy of the component DLL in a folder whose path is longer than 260.
    const std::wstring bin = exe.substr(0, exe.find_last_of(L'\\'));
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"KOVATests-long";
    std::vector<std::wstring> created{folder};
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int level = 0; folder.size() < 300; ++level)
    {
        folder += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + level));
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
        created.push_back(folder);
    }
    const std::wstring copy = folder + L"\\KOVAModuleCopy.dll";
    ASSERT_TRUE(CopyFileW((bin + L"\\KOVAUnifiedGroupsSync64.dll").c_str(), (L"\\\\?\\" + copy).c_str(), FALSE))
        << GetLastError() << " " << ToLogText(bin) << " " << ToLogText(copy);
    HMODULE module = LoadLibraryExW(copy.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    EXPECT_NE(nullptr, module) << GetLastError();
    if (module)
    {
        const CStdStr name = LSSetting::GetModuleFileNameSafe(module);
        EXPECT_GT(name.size(), 300u);
        EXPECT_NE(std::wstring::npos, name.find(L"KOVAModuleCopy.dll")) << ToLogText(name);
        FreeLibrary(module);
    }
    DeleteFileW((L"\\\\?\\" + copy).c_str());
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
}
