// Self-registration of the real DLL through Wine's regsvr32, activation by
// ProgID from this process and from a JScript client, and unregistration.
#include <gtest/gtest.h>

#include "ComponentRegistration.h"
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "ScratchFolder.h"
#include "WindowsProcess.h"

#include <fstream>

namespace {

const std::wstring Classes = L"Software\\Classes\\";

void ExpectClassKeys(HKEY root, const RegisteredClass& c, const std::wstring& dllPath)
{
    const std::wstring clsid = GuidText(c.clsid);
    const std::wstring classKey = Classes + L"CLSID\\" + clsid;
    SCOPED_TRACE(c.progId);
    EXPECT_EQ(c.description, ReadText(root, Classes + c.progId));
    EXPECT_EQ(clsid, ReadText(root, Classes + c.progId + L"\\CLSID"));
    EXPECT_EQ(c.description, ReadText(root, Classes + c.versionIndependentProgId));
    EXPECT_EQ(c.progId, ReadText(root, Classes + c.versionIndependentProgId + L"\\CurVer"));
    EXPECT_EQ(clsid, ReadText(root, Classes + c.versionIndependentProgId + L"\\CLSID"));
    EXPECT_EQ(c.description, ReadText(root, classKey));
    EXPECT_EQ(c.progId, ReadText(root, classKey + L"\\ProgID"));
    EXPECT_EQ(c.versionIndependentProgId, ReadText(root, classKey + L"\\VersionIndependentProgID"));
    EXPECT_TRUE(KeyExists(root, classKey + L"\\Programmable"));
    EXPECT_EQ(L"<absent>", ReadText(root, classKey + L"\\Programmable"));
    EXPECT_EQ(0, _wcsicmp(dllPath.c_str(), ReadText(root, classKey + L"\\InprocServer32").c_str()));
    EXPECT_EQ(L"Apartment", ReadText(root, classKey + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(GuidText(LIBID_KOVAUnifiedGroupsSyncLib), ReadText(root, classKey + L"\\TypeLib"));
    EXPECT_EQ(L"1.0", ReadText(root, classKey + L"\\Version"));
}

void ExpectNoClassKeys(HKEY root)
{
    for (const std::wstring& path : ComponentKeyPaths())
        EXPECT_FALSE(KeyExists(root, path)) << std::string(path.begin(), path.end());
}

bool TypeLibraryRegistered()
{
    ITypeLib* library = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_KOVAUnifiedGroupsSyncLib, 1, 0, LOCALE_NEUTRAL, &library)))
        return false;
    library->Release();
    return true;
}

std::wstring TypeLibraryKey()
{
    return Classes + L"TypeLib\\" + GuidText(LIBID_KOVAUnifiedGroupsSyncLib);
}

HMODULE ModuleOfObject(IUnknown* object)
{
    HMODULE module = nullptr;
    void* vtable = *reinterpret_cast<void**>(object);
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(vtable), &module);
    return module;
}

// Created asking for the given interface, as a host would.
IUnknownPtr CreateByProgId(const wchar_t* progId, REFIID riid)
{
    CLSID clsid{};
    EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &clsid)) << "ProgID not resolvable";
    IUnknown* object = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, reinterpret_cast<void**>(&object)));
    return IUnknownPtr(object, false);
}

class MachineRegistration : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(0u, RunRegsvr32(L"/s")); }
    ComponentRegistrationGuard guard;
};

} // namespace

TEST_F(MachineRegistration, WritesTheKeysOfEveryClassAndTheTypeLibrary)
{
    for (const RegisteredClass& c : RegisteredClasses())
        ExpectClassKeys(HKEY_LOCAL_MACHINE, c, ComponentDllPath());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, TypeLibraryKey() + L"\\1.0"));
    EXPECT_TRUE(TypeLibraryRegistered());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Classes + L"Quorval.SyncFilter.UnifiedGroups"));
}

TEST_F(MachineRegistration, CreatesAllThreeClassesByProgIdFromTheDll)
{
    const HMODULE thisProgram = GetModuleHandleW(nullptr);
    for (const wchar_t* progId : {L"Quorval.SyncFilter.UnifiedGroups", L"Quorval.SyncFilter.UnifiedGroups.1"})
    {
        ILSSyncFilter2Ptr filter = CreateByProgId(progId, __uuidof(ILSSyncFilter2));
        ASSERT_TRUE(filter);
        EXPECT_NE(thisProgram, ModuleOfObject(filter)); // served by the DLL, not by the test's own copy
        USHORT count = 99;
        EXPECT_EQ(S_OK, filter->get_ItemCount(&count));
        EXPECT_EQ(0, count);
    }
    ILSKOVAFieldSetInfoPtr fieldSet = CreateByProgId(L"KOVA.LSUnifiedGroupFieldSetInfo", __uuidof(ILSKOVAFieldSetInfo));
    ASSERT_TRUE(fieldSet);
    EXPECT_NE(thisProgram, ModuleOfObject(fieldSet));
    ULONG fields = 99;
    EXPECT_EQ(S_OK, fieldSet->GetFieldCount(&fields));
    EXPECT_EQ(0u, fields);

    ILSKOVAFieldInfoPtr field = CreateByProgId(L"KOVA.LSUnifiedGroupsFieldInfo.1", __uuidof(ILSKOVAFieldInfo));
    ASSERT_TRUE(field);
    EXPECT_NE(thisProgram, ModuleOfObject(field));
    BSTR progId = nullptr;
    ASSERT_EQ(S_OK, field->GetFieldProgId(&progId));
    EXPECT_STREQ(L"KOVA.SimpleField.1", progId);
    SysFreeString(progId);
}

TEST_F(MachineRegistration, JScriptClientUsesTheFilterThroughIDispatch)
{
    const ScratchFolder folder(L"jscript-client");
    const std::wstring script = folder / L"client.js";
    {
        std::ofstream file(std::string(script.begin(), script.end()).c_str(), std::ios::binary);
        file << "var filter = new ActiveXObject(\"Quorval.SyncFilter.UnifiedGroups\");\r\n"
                "WScript.Echo(\"count before: \" + filter.ItemCount);\r\n"
                "filter.SetSyncStartPointByString(\"https://contoso.sharepoint.com/sites/top\");\r\n"
                "WScript.Echo(\"count after: \" + filter.ItemCount);\r\n"
                "var fieldSet = new ActiveXObject(\"KOVA.LSUnifiedGroupFieldSetInfo\");\r\n"
                "WScript.Echo(\"field set: \" + typeof fieldSet);\r\n";
    }
    const ProcessResult run = RunProcess(L"cscript.exe //nologo \"" + script + L"\"");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ("count before: 0\r\ncount after: 0\r\nfield set: object\r\n", run.output);
}

TEST_F(MachineRegistration, UnregistrationRemovesEveryKeyItWrote)
{
    ASSERT_EQ(0u, RunRegsvr32(L"/s /u"));
    ExpectNoClassKeys(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(TypeLibraryRegistered());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Classes + L"CLSID")); // never removed
}

TEST(PerUserRegistration, WritesAndRemovesTheKeysUnderTheUsersClasses)
{
    ComponentRegistrationGuard guard;
    ASSERT_EQ(0u, RunRegsvr32(L"/s /n /i:user"));
    for (const RegisteredClass& c : RegisteredClasses())
        ExpectClassKeys(HKEY_CURRENT_USER, c, ComponentDllPath());
    for (const RegisteredClass& c : RegisteredClasses())
    {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Classes + c.progId));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Classes + L"CLSID\\" + GuidText(c.clsid)));
    }
    // The type library goes through RegisterTypeLibForUser. Windows records it
    // under the user's classes; Wine 8 implements that call as a machine-wide
    // registration, so accept either place but require it registered.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TypeLibraryKey()) || KeyExists(HKEY_LOCAL_MACHINE, TypeLibraryKey()));
    EXPECT_TRUE(TypeLibraryRegistered());

    ASSERT_EQ(0u, RunRegsvr32(L"/s /u /n /i:user"));
    ExpectNoClassKeys(HKEY_CURRENT_USER);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, TypeLibraryKey()));
    EXPECT_FALSE(TypeLibraryRegistered());
}
