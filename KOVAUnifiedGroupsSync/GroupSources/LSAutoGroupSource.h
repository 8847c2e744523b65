#pragma once
// The "Auto" group source: asks the service that last produced the list for
// this user (EWS when none did), and the other one in the same pass when the
// first refuses the listing outright (blocked or switched off for the
// tenant) or cannot list every group in one answer (EWS beyond its
// GroupsLimit). Any other failure fails the pass with no switch. The service that
// produced the list is remembered in the user's settings, read at every pass,
// so the next pass (in this process or another) asks it first.
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"

#include <memory>

class LSAutoGroupSource : public LSGroupSource
{
public:
    LSAutoGroupSource(std::unique_ptr<LSGroupSource> ews, std::unique_ptr<LSGroupSource> graph);

    GroupList GetCurrentGroups() override;
    std::wstring Service() const override { return m_service; }

private:
    GroupList Ask(LSGroupSource& source, const std::wstring& remembered);

    std::unique_ptr<LSGroupSource> m_ews;
    std::unique_ptr<LSGroupSource> m_graph;
    std::wstring m_service;
};
