#pragma once
// What the component registers, as the registration tests check it.
#include "RegistrySnapshot.h"

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

struct RegisteredClass
{
    CLSID clsid;
    const wchar_t* progId;
    const wchar_t* versionIndependentProgId;
    const wchar_t* description;
};

const std::vector<RegisteredClass>& RegisteredClasses();
std::wstring GuidText(const GUID& id);

// Every key the component may write below a classes root ("Software\\Classes\\").
std::vector<std::wstring> ComponentKeyPaths();

// Guards the component's keys machine-wide and per user, and starts from an
// unregistered component; everything is put back at scope end.
class ComponentRegistrationGuard
{
public:
    ComponentRegistrationGuard();
    ~ComponentRegistrationGuard();

private:
    std::unique_ptr<RegistrySnapshot> m_userContainer;
    std::unique_ptr<RegistrySnapshot> m_machine;
    std::unique_ptr<RegistrySnapshot> m_user;
};

// regsvr32 with the given switches on a DLL (the component by default).
unsigned long RunRegsvr32(const std::wstring& switches, const std::wstring& dll = std::wstring());
