#pragma once
// One value of the user's settings key, changed for a test and put back
// afterwards.
#include "QuorvalCommon/LSSetting.h"
#include "RegistryTestGuards.h"

class UserSettingGuard : public RegistryValueGuard
{
public:
    explicit UserSettingGuard(const std::wstring& name)
        : RegistryValueGuard(HKEY_CURRENT_USER, UserKeyPath(), name)
    {
    }

private:
    // The store creates the user key; it must exist before the guard looks,
    // or the guard would delete it (and the store's handle) at the end.
    static std::wstring UserKeyPath()
    {
        LSSetting::GetInstance();
        return LSSetting::GetSettingsKeyPath();
    }
};
