#include "KOVAUnifiedGroupsSync/Module/CKOVAUnifiedGroupsSyncModule.h"

#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"
#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupFieldSetInfo.h"
#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupsFieldInfo.h"
#include "KOVAUnifiedGroupsSync/Module/LSClassFactory.h"
#include "KOVAUnifiedGroupsSync/Module/LSClassRegistration.h"
#include "KOVAUnifiedGroupsSync/Module/LSRegistryKey.h"
#include "KOVAUnifiedGroupsSync/Module/LSThreadLocaleScope.h"
#include "KOVAUnifiedGroupsSync/Module/LSTypeLibraryRegistration.h"
#include "QuorvalCommon/CriticalSectionLock.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSDiag.h"
#include "QuorvalCommon/LSFileSystem.h"
#include "QuorvalCommon/LSResourceLibraries.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"

#include <new>

namespace {

const wchar_t* const LogModuleName = L"KOVA-UnifiedGroups";
const wchar_t* const LanguageLibraryName = L"KOVAUnifiedGroupsSync64";
const wchar_t* const ClassesPath = L"Software\\Classes";

IClassFactory* Decoded(void* encoded)
{
    return static_cast<IClassFactory*>(DecodePointer(encoded));
}

} // namespace

LSModuleStartup LSModuleStartup::Default()
{
    return {[] { LSDiag::Initialize(LogModuleName); },
            [] { return LSResourceLibraries::LanguageLibrary(LanguageLibraryName); },
            [](HMODULE ownModule) { return LSFileSystem::CheckHostVersion(ownModule); }};
}

CKOVAUnifiedGroupsSyncModule& CKOVAUnifiedGroupsSyncModule::Instance()
{
    static CKOVAUnifiedGroupsSyncModule module;
    return module;
}

CKOVAUnifiedGroupsSyncModule::CKOVAUnifiedGroupsSyncModule(LSModuleStartup startup)
    : m_startup(startup),
      m_objectMap{{
          {&CLSID_KOVAUnifiedGroupsSync, &CKOVAUnifiedGroupsSync::CreateInstance,
           L"Quorval.SyncFilter.UnifiedGroups.1", L"Quorval.SyncFilter.UnifiedGroups", L"KOVAUnifiedGroupsSync Class"},
          {&CLSID_LSUnifiedGroupsFieldInfo, &CLSUnifiedGroupsFieldInfo::CreateInstance,
           L"KOVA.LSUnifiedGroupsFieldInfo.1", L"KOVA.LSUnifiedGroupsFieldInfo", L"LSUnifiedGroupsFieldInfo Class"},
          {&CLSID_LSUnifiedGroupFieldSetInfo, &CLSUnifiedGroupFieldSetInfo::CreateInstance,
           L"KOVA.LSUnifiedGroupFieldSetInfo.1", L"KOVA.LSUnifiedGroupFieldSetInfo",
           L"LSUnifiedGroupFieldSetInfo Class"},
      }}
{
    m_lockInitialised = InitializeCriticalSectionAndSpinCount(&m_lock, 0) != FALSE;
}

CKOVAUnifiedGroupsSyncModule::~CKOVAUnifiedGroupsSyncModule()
{
    for (LSObjectMapEntry& entry : m_objectMap)
    {
        if (void* encoded = entry.cachedFactory.exchange(nullptr))
            static_cast<LSClassFactory*>(Decoded(encoded))->ReleaseFromCache();
    }
    if (m_lockInitialised)
        DeleteCriticalSection(&m_lock);
}

void CKOVAUnifiedGroupsSyncModule::SetInstance(HINSTANCE instance)
{
    m_instance = instance;
    m_resourceInstance.store(instance);
}

bool CKOVAUnifiedGroupsSyncModule::ProcessAttach(HINSTANCE instance)
{
    SetInstance(instance);
    // Logging is not set up yet; on a failure the libraries simply stay absent.
    LS_COM_BOUNDARY_BEGIN
    LSResourceLibraries::LoadAtProcessAttach(instance);
    LS_COM_BOUNDARY_END_THEN("DllMain")
    return m_lockInitialised;
}

// Not std::call_once: with this toolchain a call_once whose function throws
// leaves the flag taken and the next caller waits for ever.
template <typename Step>
void CKOVAUnifiedGroupsSyncModule::RunOnce(std::atomic<bool>& done, Step step)
{
    if (done.load(std::memory_order_acquire))
        return;
    if (!m_lockInitialised)
        throw hresult_exception(E_UNEXPECTED, "module lock not initialised");
    CriticalSectionLock lock(m_lock);
    if (done.load(std::memory_order_relaxed))
        return;
    step();
    done.store(true, std::memory_order_release);
}

void CKOVAUnifiedGroupsSyncModule::RunStartupDuties()
{
    m_startup.initialiseLogging();
    RunOnce(m_languageLoaded, [this] {
        if (HMODULE language = m_startup.loadLanguageLibrary())
            m_resourceInstance.store(language);
    });
    RunOnce(m_hostVersionChecked, [this] { m_hostVersionAccepted = m_startup.checkHostVersion(m_instance); });
}

bool CKOVAUnifiedGroupsSyncModule::HostVersionAccepted()
{
    // Reported, and the request is still served: a failed start-up duty is
    // not a refusal.
    LS_COM_BOUNDARY_BEGIN
    RunStartupDuties();
    return m_hostVersionAccepted;
    LS_COM_BOUNDARY_END_THEN("DllGetClassObject", return true)
}

HRESULT CKOVAUnifiedGroupsSyncModule::GetClassObject(REFCLSID clsid, REFIID riid, void** result)
{
    // Null before any refusal, the version gate's included: callers may
    // release what they get back without looking at the code.
    if (result)
        *result = nullptr;
    if (!HostVersionAccepted())
        return E_INVALIDARG;
    if (!result)
        return E_POINTER;
    if (!m_lockInitialised)
        return E_UNEXPECTED;
    LSObjectMapEntry* entry = FindEntry(clsid);
    if (!entry)
        return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* factory = CachedFactory(*entry);
    if (!factory)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, result);
    if (SUCCEEDED(hr) && !*result)
        hr = CLASS_E_CLASSNOTAVAILABLE;
    return hr;
}

LSObjectMapEntry* CKOVAUnifiedGroupsSyncModule::FindEntry(REFCLSID clsid)
{
    for (LSObjectMapEntry& entry : m_objectMap)
    {
        if (entry.create && IsEqualCLSID(*entry.clsid, clsid))
            return &entry;
    }
    return nullptr;
}

IClassFactory* CKOVAUnifiedGroupsSyncModule::CachedFactory(LSObjectMapEntry& entry)
{
    if (void* encoded = entry.cachedFactory.load())
        return Decoded(encoded);
    CriticalSectionLock lock(m_lock);
    void* encoded = entry.cachedFactory.load();
    if (!encoded)
    {
        LSClassFactory* factory = new (std::nothrow) LSClassFactory(entry.create);
        if (!factory)
            return nullptr;
        encoded = EncodePointer(static_cast<IClassFactory*>(factory));
        entry.cachedFactory.store(encoded);
    }
    return Decoded(encoded);
}

// The module pins itself at load (its static runtime and logging library
// keep process-wide state no unload could release), so it never unloads: an
// S_OK would only send COM through an unload that does not happen, each time.
HRESULT CKOVAUnifiedGroupsSyncModule::CanUnloadNow() const
{
    return S_FALSE;
}

HKEY CKOVAUnifiedGroupsSyncModule::ClassesRootBase() const
{
    return m_perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

void CKOVAUnifiedGroupsSyncModule::Register()
{
    // The module's own registration block is empty: nothing is written for it.
    const CStdStr modulePath = LSSetting::GetModuleFileNameSafe(m_instance);
    if (modulePath.empty())
        throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "GetModuleFileName");
    const LSRegistryKey classesRoot = LSRegistryKey::Create(ClassesRootBase(), ClassesPath);
    for (const LSObjectMapEntry& entry : m_objectMap)
    {
        // The classes declare no component categories, so none are registered.
        if (entry.create)
            LSClassRegistration::Register(classesRoot.Get(), entry, modulePath, LIBID_KOVAUnifiedGroupsSyncLib);
    }
    LSTypeLibraryRegistration::Register(modulePath, m_perUser);
}

void CKOVAUnifiedGroupsSyncModule::Unregister()
{
    const CStdStr modulePath = LSSetting::GetModuleFileNameSafe(m_instance);
    if (modulePath.empty())
        throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "GetModuleFileName");
    if (const LSRegistryKey classesRoot = LSRegistryKey::OpenIfPresent(ClassesRootBase(), ClassesPath))
    {
        for (const LSObjectMapEntry& entry : m_objectMap)
        {
            if (entry.create)
                LSClassRegistration::Unregister(classesRoot.Get(), entry);
        }
    }
    LSTypeLibraryRegistration::Unregister(modulePath, m_perUser);
}

HRESULT CKOVAUnifiedGroupsSyncModule::RegisterServer()
{
    LSThreadLocaleScope locale;
    LS_COM_BOUNDARY_BEGIN
    Register();
    return S_OK;
    LS_COM_BOUNDARY_END("DllRegisterServer")
}

HRESULT CKOVAUnifiedGroupsSyncModule::UnregisterServer()
{
    LSThreadLocaleScope locale;
    LS_COM_BOUNDARY_BEGIN
    Unregister();
    return S_OK;
    LS_COM_BOUNDARY_END("DllUnregisterServer")
}

HRESULT CKOVAUnifiedGroupsSyncModule::Install(bool install, const wchar_t* commandLine)
{
    if (commandLine && CStdStr(commandLine).EqualsNoCase(L"user"))
        m_perUser = true; // for the rest of the process
    if (!install)
        return UnregisterServer();
    const HRESULT hr = RegisterServer();
    if (FAILED(hr))
        UnregisterServer();
    return hr;
}
