// The DLL's exports called directly, with the DLL loaded through the real
// loader: the unload answer, class-object requests and the install switch.
#include <gtest/gtest.h>

#include "ComponentRegistration.h"
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "KOVAVersion.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSFileSystem.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "ScratchFolder.h"
#include "UserSettingGuard.h"
#include "VersionResourcePatch.h"
#include "WindowsProcess.h"

#include <vector>

namespace {

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(WINAPI*)();
using InstallFunction = HRESULT(WINAPI*)(BOOL, LPCWSTR);

template <typename Function>
Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The DLL loaded from a path; each distinct file is a module of its own with
// its own process-wide state.
class LoadedComponent
{
public:
    explicit LoadedComponent(const std::wstring& path) : m_module(LoadLibraryW(path.c_str())) {}
    bool Loaded() const { return m_module.IsValid(); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** result) const
    {
        return Export<GetClassObjectFunction>(m_module.Get(), "DllGetClassObject")(clsid, riid, result);
    }
    HRESULT CanUnloadNow() const { return Export<CanUnloadNowFunction>(m_module.Get(), "DllCanUnloadNow")(); }
    HRESULT Install(BOOL install, const wchar_t* commandLine) const
    {
        return Export<InstallFunction>(m_module.Get(), "DllInstall")(install, commandLine);
    }
    HRESULT Unregister() const { return Export<CanUnloadNowFunction>(m_module.Get(), "DllUnregisterServer")(); }

private:
    UniqueHModule m_module;
};

// The DLL pins itself, so a loaded copy stays until its process ends and
// cannot be deleted before: the copies of ended test runs go here.
std::wstring RemovedCopiesOfEndedRuns(const std::wstring& folderName)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    WIN32_FIND_DATAW entry = {};
    std::vector<std::wstring> found;
    UniqueFindHandle find(FindFirstFileW((std::wstring(temp) + folderName + L"-*").c_str(), &entry));
    if (find)
    {
        do
            found.push_back(std::wstring(temp) + entry.cFileName);
        while (FindNextFileW(find.Get(), &entry));
    }
    find.Reset();
    for (const std::wstring& folder : found)
        RemoveTree(folder);
    return folderName;
}

// A copy of the DLL under its own name, deleted once no process has it loaded.
class ComponentCopy
{
public:
    explicit ComponentCopy(const std::wstring& tag)
        : m_folder(RemovedCopiesOfEndedRuns(L"component-copy-" + tag)),
          m_path(m_folder / (L"KOVAUnifiedGroupsSync64-" + tag + L".dll"))
    {
        CopyFileW(ComponentDllPath().c_str(), m_path.c_str(), FALSE);
    }
    const std::wstring& Path() const { return m_path; }

private:
    ScratchFolder m_folder;
    std::wstring m_path;
};

IClassFactory* FactoryOf(const LoadedComponent& component, REFCLSID clsid)
{
    IClassFactory* factory = nullptr;
    EXPECT_EQ(S_OK, component.GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    return factory;
}

std::wstring FilterServerPath(HKEY root)
{
    return ReadText(root, L"Software\\Classes\\CLSID\\" + GuidText(CLSID_KOVAUnifiedGroupsSync) + L"\\InprocServer32");
}

} // namespace

// The module pins itself, so it never tells COM it could unload: not with
// objects or locks, and not without them.
TEST(ComponentExports, NeverOffersToUnloadSinceItIsPinned)
{
    LoadedComponent component(ComponentDllPath());
    ASSERT_TRUE(component.Loaded());
    EXPECT_EQ(S_FALSE, component.CanUnloadNow());

    IClassFactory* factory = FactoryOf(component, CLSID_KOVAUnifiedGroupsSync);
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, component.CanUnloadNow()); // a held factory
    IUnknown* filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, __uuidof(ILSSyncFilter2), reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_FALSE, component.CanUnloadNow()); // the filter and the lock

    filter->Release();
    factory = FactoryOf(component, CLSID_KOVAUnifiedGroupsSync);
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_EQ(S_FALSE, component.CanUnloadNow()); // nothing held
}

TEST(ComponentExports, ClassFactoriesAreCachedAndServeEveryClass)
{
    LoadedComponent component(ComponentDllPath());
    ASSERT_TRUE(component.Loaded());
    for (const RegisteredClass& c : RegisteredClasses())
    {
        IClassFactory* first = FactoryOf(component, c.clsid);
        IClassFactory* second = FactoryOf(component, c.clsid);
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(first, second);
        IUnknown* object = nullptr;
        EXPECT_EQ(S_OK, first->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)));
        if (object)
            object->Release();
        first->Release();
        second->Release();
    }
}

TEST(ComponentExports, UnknownClassAndNullOutPointer)
{
    LoadedComponent component(ComponentDllPath());
    void* result = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, component.GetClassObject(IID_IDispatch, IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, component.GetClassObject(CLSID_KOVAUnifiedGroupsSync, IID_IClassFactory, nullptr));
    result = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, component.GetClassObject(CLSID_KOVAUnifiedGroupsSync, IID_IDispatch, &result));
    EXPECT_EQ(nullptr, result);
}

TEST(ComponentExports, OnlyTheWholeWordUserInAnyCaseRegistersPerUser)
{
    struct Case
    {
        const wchar_t* tag;
        const wchar_t* commandLine;
        bool perUser;
    };
    const Case cases[] = {{L"upper", L"USER", true},      {L"mixed", L"uSeR", true},
                          {L"plural", L"users", false},   {L"blank", L"user ", false},
                          {L"empty", L"", false},         {L"null", nullptr, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.tag);
        ComponentRegistrationGuard guard;
        ComponentCopy copy(c.tag);
        LoadedComponent component(copy.Path());
        ASSERT_TRUE(component.Loaded());
        ASSERT_EQ(S_OK, component.Install(TRUE, c.commandLine));
        const HKEY written = c.perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const HKEY untouched = c.perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        EXPECT_EQ(0, _wcsicmp(copy.Path().c_str(), FilterServerPath(written).c_str()));
        EXPECT_EQ(L"<absent>", FilterServerPath(untouched));
        EXPECT_EQ(S_OK, component.Install(FALSE, c.commandLine));
        EXPECT_EQ(L"<absent>", FilterServerPath(written));
    }
}

TEST(ComponentExports, RegistrationRestoresTheCallersThreadLocale)
{
    ComponentRegistrationGuard guard;
    ComponentCopy copy(L"locale");
    LoadedComponent component(copy.Path());
    ASSERT_TRUE(component.Loaded());
    const LCID original = GetThreadLocale();
    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    ASSERT_TRUE(SetThreadLocale(german));

    EXPECT_EQ(S_OK, component.Install(TRUE, L"users"));
    EXPECT_EQ(german, GetThreadLocale());
    EXPECT_EQ(S_OK, component.Install(FALSE, nullptr));
    EXPECT_EQ(german, GetThreadLocale());
    // A second unregistration fails (the type library is no longer
    // registered); the locale comes back on that path too.
    EXPECT_TRUE(FAILED(component.Unregister()));
    EXPECT_EQ(german, GetThreadLocale());

    SetThreadLocale(original);
}

// A copy without a usable type library fails after its class keys are written:
// the installation takes them out again and reports the failure.
TEST(ComponentExports, AFailedInstallationLeavesNoKeyBehind)
{
    ComponentRegistrationGuard registration;
    ComponentCopy copy(L"notypelib");
    ASSERT_TRUE(ReplaceResource(copy.Path(), L"TYPELIB", MAKEINTRESOURCEW(1), "not a type library"));
    {
        LoadedComponent component(copy.Path());
        ASSERT_TRUE(component.Loaded());
        EXPECT_TRUE(FAILED(component.Install(TRUE, nullptr)));
    }
    for (const std::wstring& path : ComponentKeyPaths())
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path)) << WideToMultiByte(path, CP_UTF8);
}

TEST(ComponentExports, ADifferentHostBuildRefusesEveryClassOnceLoggingIsUp)
{
    const ScratchFolder logs(L"version-gate-logs");
    UserSettingGuard logDir(LSSettingTable::LogDir.name);
    logDir.SetString(logs.Path());
    UserSettingGuard errorLines(LSSettingTable::LogError.name);
    errorLines.SetDword(1);
    {
        ComponentCopy copy(L"otherbuild");
        const uint16_t otherBuild = static_cast<uint16_t>(KOVA_VERSION_PATCH + 1);
        ASSERT_TRUE(SetFileVersionBuild(copy.Path(), otherBuild));
        ASSERT_EQ(otherBuild, LSFileSystem::GetFileVersion(copy.Path()).build);
        LoadedComponent component(copy.Path());
        ASSERT_TRUE(component.Loaded());
        for (int round = 0; round < 2; ++round)
        {
            for (const RegisteredClass& c : RegisteredClasses())
            {
                void* result = reinterpret_cast<void*>(1);
                EXPECT_EQ(E_INVALIDARG, component.GetClassObject(c.clsid, IID_IClassFactory, &result)) << round;
                EXPECT_EQ(nullptr, result) << round;
            }
        }
    }
    // The refusal came after the logging set-up: its log file holds the
    // banner and the check's error line.
    const std::wstring folder = logs / L"KOVA Logs";
    const std::vector<std::wstring> files = FileNames(folder);
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(0u, files[0].find(L"KOVA-UnifiedGroups-"));
    const std::string text = ReadWholeFile(folder + L"\\" + files[0]);
    EXPECT_NE(std::string::npos, text.find("Logging initialised for ")) << text;
    EXPECT_NE(std::string::npos, text.find(" mismatch with KOVA ")) << text;
}
