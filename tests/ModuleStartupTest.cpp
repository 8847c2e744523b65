// The start-up duties of a class-object request, run on a module object of
// the test's own with replaced duties: logging set-up at every request, the
// language library once, the host version gate once.
#include <gtest/gtest.h>

#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVAUnifiedGroupsSync/Module/CKOVAUnifiedGroupsSyncModule.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "LogCapture.h"
#include "QuorvalCommon/hresult_exception.h"

namespace {

struct StartupRecord
{
    int loggingCalls = 0;
    int languageCalls = 0;
    int versionChecks = 0;
    bool hostVersionMatches = true;
    bool versionCheckThrows = false;
    HMODULE languageLibrary = nullptr;
    HMODULE checkedModule = nullptr;
};
StartupRecord g_record;

LSModuleStartup RecordingStartup()
{
    g_record = StartupRecord();
    return {[] { ++g_record.loggingCalls; },
            [] {
                ++g_record.languageCalls;
                return g_record.languageLibrary;
            },
            [](HMODULE module) {
                ++g_record.versionChecks;
                g_record.checkedModule = module;
                if (g_record.versionCheckThrows)
                    throw hresult_exception(E_ACCESSDENIED, "version unreadable");
                return g_record.hostVersionMatches;
            }};
}

const CLSID* const AllClasses[] = {&CLSID_KOVAUnifiedGroupsSync, &CLSID_LSUnifiedGroupsFieldInfo,
                                   &CLSID_LSUnifiedGroupFieldSetInfo};

HRESULT RequestFactory(CKOVAUnifiedGroupsSyncModule& module, REFCLSID clsid)
{
    IClassFactory* factory = nullptr;
    const HRESULT hr = module.GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (factory)
        factory->Release();
    return hr;
}

} // namespace

TEST(ModuleStartup, FailedHostVersionRefusesEveryClassButLoggingIsSetUp)
{
    CKOVAUnifiedGroupsSyncModule module(RecordingStartup());
    module.SetInstance(GetModuleHandleW(nullptr));
    g_record.hostVersionMatches = false;
    for (int round = 0; round < 2; ++round)
    {
        for (const CLSID* clsid : AllClasses)
        {
            void* result = reinterpret_cast<void*>(1);
            EXPECT_EQ(E_INVALIDARG, module.GetClassObject(*clsid, IID_IClassFactory, &result));
        }
    }
    EXPECT_EQ(6, g_record.loggingCalls); // every request
    EXPECT_EQ(1, g_record.versionChecks); // once, and the answer is kept
    EXPECT_EQ(GetModuleHandleW(nullptr), g_record.checkedModule);
    EXPECT_EQ(E_INVALIDARG, module.GetClassObject(CLSID_KOVAUnifiedGroupsSync, IID_IClassFactory, nullptr));
}

TEST(ModuleStartup, PassedHostVersionServesTheClasses)
{
    CKOVAUnifiedGroupsSyncModule module(RecordingStartup());
    module.SetInstance(GetModuleHandleW(nullptr));
    for (const CLSID* clsid : AllClasses)
        EXPECT_EQ(S_OK, RequestFactory(module, *clsid));
    EXPECT_EQ(3, g_record.loggingCalls);
    EXPECT_EQ(1, g_record.versionChecks);
}

TEST(ModuleStartup, LanguageLibraryBecomesTheResourceInstanceOnTheFirstRequestOnly)
{
    CKOVAUnifiedGroupsSyncModule module(RecordingStartup());
    const HMODULE own = GetModuleHandleW(nullptr);
    module.SetInstance(own);
    EXPECT_EQ(own, module.ResourceInstance());
    g_record.languageLibrary = GetModuleHandleW(L"kernel32.dll"); // any loaded module stands in
    EXPECT_EQ(S_OK, RequestFactory(module, CLSID_KOVAUnifiedGroupsSync));
    EXPECT_EQ(g_record.languageLibrary, module.ResourceInstance());
    EXPECT_EQ(S_OK, RequestFactory(module, CLSID_LSUnifiedGroupsFieldInfo));
    EXPECT_EQ(1, g_record.languageCalls);
    EXPECT_EQ(own, module.ModuleInstance());
}

TEST(ModuleStartup, MissingLanguageLibraryKeepsTheModuleAsResourceInstance)
{
    CKOVAUnifiedGroupsSyncModule module(RecordingStartup());
    const HMODULE own = GetModuleHandleW(nullptr);
    module.SetInstance(own);
    EXPECT_EQ(S_OK, RequestFactory(module, CLSID_KOVAUnifiedGroupsSync));
    EXPECT_EQ(own, module.ResourceInstance());
}

TEST(ModuleStartup, AStartupExceptionIsReportedAndTheRequestGoesOn)
{
    LogCapture capture;
    CKOVAUnifiedGroupsSyncModule module(RecordingStartup());
    module.SetInstance(GetModuleHandleW(nullptr));
    g_record.versionCheckThrows = true;
    EXPECT_EQ(S_OK, RequestFactory(module, CLSID_KOVAUnifiedGroupsSync));
    EXPECT_TRUE(capture.Contains("DllGetClassObject: Caught hresult_exception at interface -80070005 - version "
                                 "unreadable"))
        << capture.All();

    // The check had no answer, so the next request asks again.
    g_record.versionCheckThrows = false;
    g_record.hostVersionMatches = false;
    EXPECT_EQ(E_INVALIDARG, RequestFactory(module, CLSID_KOVAUnifiedGroupsSync));
    EXPECT_EQ(2, g_record.versionChecks);
}

TEST(ModuleStartup, FactoryCreatesStandaloneAndRefusesAggregationForOtherInterfaces)
{
    CKOVAUnifiedGroupsSyncModule module(RecordingStartup());
    module.SetInstance(GetModuleHandleW(nullptr));
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_KOVAUnifiedGroupsSync, IID_IClassFactory,
                                          reinterpret_cast<void**>(&factory)));
    const IUnknownPtr holder(factory, false);

    ILSSyncFilter2* filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, __uuidof(ILSSyncFilter2), reinterpret_cast<void**>(&filter)));
    filter->Release();

    // Any object stands in for an outer one: the request is refused before use.
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory, __uuidof(ILSSyncFilter2), &refused));
    EXPECT_EQ(nullptr, refused);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, __uuidof(ILSSyncFilter2), nullptr));
}
