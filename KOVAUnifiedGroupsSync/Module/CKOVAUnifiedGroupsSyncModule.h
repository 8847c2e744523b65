#pragma once
// The COM server module: start-up duties of a class-object request, the
// object map of the three served classes with their cached class factories,
// and self-registration machine-wide or for the current user.
#include "KOVAUnifiedGroupsSync/Module/LSObjectMapEntry.h"

#include <windows.h>
#include <array>
#include <atomic>
#include <string>

// What a class-object request does before it serves a class. Replaceable so
// tests can run the module with a failing host check.
struct LSModuleStartup
{
    void (*initialiseLogging)();
    HMODULE (*loadLanguageLibrary)();
    bool (*checkHostVersion)(HMODULE ownModule);

    static LSModuleStartup Default();
};

class CKOVAUnifiedGroupsSyncModule
{
public:
    // The one module object of the DLL.
    static CKOVAUnifiedGroupsSyncModule& Instance();

    explicit CKOVAUnifiedGroupsSyncModule(LSModuleStartup startup = LSModuleStartup::Default());
    ~CKOVAUnifiedGroupsSyncModule();
    CKOVAUnifiedGroupsSyncModule(const CKOVAUnifiedGroupsSyncModule&) = delete;
    CKOVAUnifiedGroupsSyncModule& operator=(const CKOVAUnifiedGroupsSyncModule&) = delete;

    // DllMain at process attach: false only when the module could not
    // initialise its lock.
    bool ProcessAttach(HINSTANCE instance);
    // Records the module handle without loading resource libraries.
    void SetInstance(HINSTANCE instance);

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** result);
    // S_FALSE always: the module is pinned.
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer();
    HRESULT UnregisterServer();
    HRESULT Install(bool install, const wchar_t* commandLine);

    HINSTANCE ModuleInstance() const { return m_instance; }
    HINSTANCE ResourceInstance() const { return m_resourceInstance.load(); }
    bool IsPerUser() const { return m_perUser; }

private:
    void RunStartupDuties();
    template <typename Step>
    void RunOnce(std::atomic<bool>& done, Step step);
    bool HostVersionAccepted();
    LSObjectMapEntry* FindEntry(REFCLSID clsid);
    IClassFactory* CachedFactory(LSObjectMapEntry& entry);
    void Register();
    void Unregister();
    HKEY ClassesRootBase() const;

    LSModuleStartup m_startup;
    HINSTANCE m_instance = nullptr;
    std::atomic<HINSTANCE> m_resourceInstance{nullptr};
    CRITICAL_SECTION m_lock;
    bool m_lockInitialised = false;
    bool m_perUser = false;
    // One-time steps: done flags set under m_lock once a step has finished,
    // so a step that throws runs again on the next request.
    std::atomic<bool> m_languageLoaded{false};
    std::atomic<bool> m_hostVersionChecked{false};
    bool m_hostVersionAccepted = true;
    std::array<LSObjectMapEntry, 3> m_objectMap;
};
