#include "KOVAUnifiedGroupsSync/Module/LSClassRegistration.h"

#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"
#include "KOVAUnifiedGroupsSync/Module/LSRegistryKey.h"
#include "QuorvalCommon/LSGuidText.h"

namespace {

const wchar_t* const ClassesKey = L"CLSID";

void RegisterProgId(HKEY classesRoot, const LSObjectMapEntry& entry, const std::wstring& clsidText)
{
    LSRegistryKey progId = LSRegistryKey::Create(classesRoot, entry.progId);
    progId.SetDefault(entry.description);
    progId.CreateChild(L"CLSID", clsidText);

    LSRegistryKey versionIndependent = LSRegistryKey::Create(classesRoot, entry.versionIndependentProgId);
    versionIndependent.SetDefault(entry.description);
    versionIndependent.CreateChild(L"CurVer", entry.progId);
    // Windows resolves a version-independent ProgID through CurVer; Wine's
    // CLSIDFromProgID reads only a CLSID subkey, and the host creates the
    // filter by its version-independent ProgID.
    versionIndependent.CreateChild(L"CLSID", clsidText);
}

void RegisterClassKey(HKEY classesRoot, const LSObjectMapEntry& entry, const std::wstring& clsidText,
                      const std::wstring& modulePath, const GUID& libId)
{
    LSRegistryKey classes = LSRegistryKey::Create(classesRoot, ClassesKey);
    classes.DeleteTree(clsidText); // a stale registration must not leave keys behind
    LSRegistryKey classKey = classes.CreateChild(clsidText, entry.description);
    classKey.CreateChild(L"ProgID", entry.progId);
    classKey.CreateChild(L"VersionIndependentProgID", entry.versionIndependentProgId);
    LSRegistryKey::Create(classKey.Get(), L"Programmable");
    LSRegistryKey server = classKey.CreateChild(L"InprocServer32", modulePath);
    server.SetText(L"ThreadingModel", L"Apartment");
    classKey.CreateChild(L"TypeLib", LSGuidText::ToRegistryText(libId));
    classKey.CreateChild(L"Version", L"1.0");
}

} // namespace

namespace LSClassRegistration {

void Register(HKEY classesRoot, const LSObjectMapEntry& entry, const std::wstring& modulePath, const GUID& libId)
{
    const CStdStr clsidText = LSGuidText::ToRegistryText(*entry.clsid);
    RegisterProgId(classesRoot, entry, clsidText);
    RegisterClassKey(classesRoot, entry, clsidText, modulePath, libId);
}

void Unregister(HKEY classesRoot, const LSObjectMapEntry& entry)
{
    const LSRegistryKey root = LSRegistryKey::OpenIfPresent(classesRoot, L"");
    if (LSRegistryKey progId = LSRegistryKey::OpenIfPresent(classesRoot, entry.progId))
        progId.DeleteTree(L"CLSID");
    root.DeleteIfLeaf(entry.progId);
    if (LSRegistryKey versionIndependent = LSRegistryKey::OpenIfPresent(classesRoot, entry.versionIndependentProgId))
    {
        versionIndependent.DeleteTree(L"CurVer");
        versionIndependent.DeleteTree(L"CLSID");
    }
    root.DeleteIfLeaf(entry.versionIndependentProgId);
    if (LSRegistryKey classes = LSRegistryKey::OpenIfPresent(classesRoot, ClassesKey))
        classes.DeleteTree(LSGuidText::ToRegistryText(*entry.clsid));
}

} // namespace LSClassRegistration
