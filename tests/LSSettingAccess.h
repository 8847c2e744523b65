#pragma once
// Test access to the settings store: fresh stores over chosen key paths, so
// cases can build unusual key states without disturbing the process's store.
#include "QuorvalCommon/LSSetting.h"

#include <memory>
#include <vector>

class LSSettingAccess
{
    static void Destroy(LSSetting* store) { delete store; }

public:
    struct Deleter
    {
        void operator()(LSSetting* store) const { LSSettingAccess::Destroy(store); }
    };
    using Store = std::unique_ptr<LSSetting, Deleter>;

    // Opens (and for the user, creates) the keys as the process's store does.
    static Store Create(const std::wstring& settingsPath, const std::wstring& policyPath)
    {
        return Store(new LSSetting(settingsPath, policyPath));
    }

    static std::vector<uint32_t> SourceCodes(const LSSetting& store)
    {
        std::vector<uint32_t> codes;
        for (const SettingsKeySource& source : store.m_sources)
            codes.push_back(source.source);
        return codes;
    }

    static bool UserKeyOpen(const LSSetting& store) { return static_cast<bool>(store.m_userKey); }
};
