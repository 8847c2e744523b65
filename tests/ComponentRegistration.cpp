#include "ComponentRegistration.h"

#include "KOVAUnifiedGroupsSync_h.h"
#include "QuorvalCommon/LSGuidText.h"
#include "WindowsProcess.h"

#include <objbase.h>

namespace {
const std::wstring Classes = L"Software\\Classes\\";
}

const std::vector<RegisteredClass>& RegisteredClasses()
{
    static const std::vector<RegisteredClass> classes = {
        {CLSID_KOVAUnifiedGroupsSync, L"Quorval.SyncFilter.UnifiedGroups.1", L"Quorval.SyncFilter.UnifiedGroups",
         L"KOVAUnifiedGroupsSync Class"},
        {CLSID_LSUnifiedGroupsFieldInfo, L"KOVA.LSUnifiedGroupsFieldInfo.1", L"KOVA.LSUnifiedGroupsFieldInfo",
         L"LSUnifiedGroupsFieldInfo Class"},
        {CLSID_LSUnifiedGroupFieldSetInfo, L"KOVA.LSUnifiedGroupFieldSetInfo.1", L"KOVA.LSUnifiedGroupFieldSetInfo",
         L"LSUnifiedGroupFieldSetInfo Class"},
    };
    return classes;
}

std::wstring GuidText(const GUID& id)
{
    return LSGuidText::ToRegistryText(id);
}

std::vector<std::wstring> ComponentKeyPaths()
{
    std::vector<std::wstring> paths;
    for (const RegisteredClass& c : RegisteredClasses())
    {
        paths.push_back(Classes + c.progId);
        paths.push_back(Classes + c.versionIndependentProgId);
        paths.push_back(Classes + L"CLSID\\" + GuidText(c.clsid));
    }
    paths.push_back(Classes + L"TypeLib\\" + GuidText(LIBID_KOVAUnifiedGroupsSyncLib));
    for (const IID& iid : {IID_IKOVAUnifiedGroupsSync, IID_ILSUnifiedGroupsFieldInfo, IID_ILSUnifiedGroupFieldSetInfo})
        paths.push_back(Classes + L"Interface\\" + GuidText(iid));
    return paths;
}

ComponentRegistrationGuard::ComponentRegistrationGuard()
{
    // Per-user registration creates the user's class container when it is
    // missing; it is put back as found but not cleared.
    m_userContainer = std::make_unique<RegistrySnapshot>(HKEY_CURRENT_USER, std::vector<std::wstring>{Classes + L"CLSID"});
    m_machine = std::make_unique<RegistrySnapshot>(HKEY_LOCAL_MACHINE, ComponentKeyPaths());
    m_user = std::make_unique<RegistrySnapshot>(HKEY_CURRENT_USER, ComponentKeyPaths());
    m_machine->DeleteAll();
    m_user->DeleteAll();
}

ComponentRegistrationGuard::~ComponentRegistrationGuard()
{
    m_user.reset();
    m_machine.reset();
    m_userContainer.reset();
}

unsigned long RunRegsvr32(const std::wstring& switches, const std::wstring& dll)
{
    const std::wstring path = dll.empty() ? ComponentDllPath() : dll;
    return RunProcess(L"regsvr32.exe " + switches + L" \"" + path + L"\"").exitCode;
}
