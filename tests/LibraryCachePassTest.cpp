// Remembered libraries over passes on one filter object: what a pass asks
// again, and what it keeps when it fails.
#include "GroupsPassFixture.h"
#include "LSOutlookInfoAccess.h"
#include "ScratchFolder.h"

namespace {

const uint64_t MsPerHour = 3600ull * 1000ull;

// Remembered libraries: passes on one filter object with
// KOVAUnifiedGroups.LibraryRefreshHours at its default unless a case sets it.
class LibraryCacheTest : public ServicePassTest
{
protected:
    void SetUp() override
    {
        ServicePassTest::SetUp();
        m_libraryRefreshHours.Delete();
    }

    // A pass over these groups in which only the one group's library goes over the wire.
    void ExpectOnlyLibraryAsked(const std::vector<SimGroup>& served, const SimGroup& asked)
    {
        Serve(served);
        EXPECT_EQ(2u, CountedPass());
        EXPECT_EQ(std::vector<std::string>{Utf8(asked.id)}, AskedLibraries());
        ExpectItems(served);
    }

    static SimGroup Renamed(SimGroup group, const std::wstring& site)
    {
        group.resources[1].second = L"https://contoso.sharepoint.com/sites/" + site + L"/Shared%20Documents";
        return group;
    }
};

} // namespace

TEST_P(LibraryCacheTest, ASecondPassSendsTheListingAloneUnlessEveryLibraryIsAskedEveryTime)
{
    const std::vector<SimGroup> groups = ManyGroups(45);
    const size_t firstPass = OverEws() ? 46 : 4; // the listing and 45 details, or one listing and 3 batches
    for (const int hours : {-1, 0, 1}) // -1: the setting absent
    {
        ForgetLibraries();
        if (hours < 0)
            m_libraryRefreshHours.Delete();
        else
            m_libraryRefreshHours.SetDword(static_cast<DWORD>(hours));
        const size_t secondPass = hours == 0 ? firstPass : 1;
        Serve(groups);
        EXPECT_EQ(firstPass, CountedPass()) << hours;
        EXPECT_EQ(45u, AskedLibraries().size()) << hours;
        const std::vector<std::wstring> first = HostItems();
        Serve(groups);
        EXPECT_EQ(secondPass, CountedPass()) << hours;
        EXPECT_EQ(secondPass == 1 ? 0u : 45u, AskedLibraries().size()) << hours;
        EXPECT_EQ(first, HostItems()) << hours;
        ExpectItems(groups);
    }
    // A failed update counts what it sent too.
    Serve(groups);
    EwsSimClient::Script(std::string("{\"match\": {\"operation\": \"") +
                         (OverEws() ? "GetUserUnifiedGroups" : "GraphMemberOf") + "\"}, \"status\": 500}");
    EXPECT_EQ(1u, CountedPass(E_FAIL));
}

// Names and membership come fresh from every listing; only a new group's
// library is asked, and a group no longer listed loses its entry.
TEST_P(LibraryCacheTest, AnAddedGroupCostsOneLibraryRequestAndARemovedOneLosesItsEntry)
{
    std::vector<SimGroup> groups = ManyGroups(6);
    const SimGroup added = Group(L"7a7a7a7a-0000-4000-8000-0000000000aa", L"Added", L"added");
    const std::vector<SimGroup> five(groups.begin(), groups.begin() + 5);
    Serve(five);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();

    std::vector<SimGroup> renamedAndAdded = five;
    renamedAndAdded[1].displayName = L"Renamed group";
    renamedAndAdded.push_back(added);
    ExpectOnlyLibraryAsked(renamedAndAdded, added);

    std::vector<SimGroup> withoutSecond = renamedAndAdded;
    withoutSecond.erase(withoutSecond.begin() + 2);
    Serve(withoutSecond);
    EXPECT_EQ(1u, CountedPass());
    ExpectItems(withoutSecond);
    EXPECT_EQ(S_OK, IsDeleted(RegistryForm(groups[2].id)));

    // Listed again, it is asked again: its entry went with it.
    ExpectOnlyLibraryAsked(renamedAndAdded, groups[2]);
}

// A library moved on the server keeps its old address until its entry is
// refreshed; each entry's age limit lies within 10 % of the setting, so the
// entries of one pass expire over several passes, and a refreshed entry
// starts again.
TEST_P(LibraryCacheTest, AMovedLibraryAppearsOnceItsEntryIsOlderThanTheRefreshAge)
{
    VirtualClock clock;
    m_libraryRefreshHours.SetDword(2);
    const std::vector<SimGroup> groups = ManyGroups(40);
    Serve(groups);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    std::vector<SimGroup> moved = groups;
    moved[7] = Renamed(moved[7], L"moved");

    clock.Advance(2 * MsPerHour * 89 / 100);
    Serve(moved);
    EXPECT_EQ(1u, CountedPass());
    ExpectItems(groups);

    clock.Advance(2 * MsPerHour * 11 / 100); // the setting's age: about half the entries
    Serve(moved);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const size_t refreshed = AskedLibraries().size();
    EXPECT_LT(0u, refreshed);
    EXPECT_GT(groups.size(), refreshed);

    clock.Advance(2 * MsPerHour * 11 / 100); // beyond every first entry, before any refreshed one
    Serve(moved);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_EQ(groups.size() - refreshed, AskedLibraries().size());
    ExpectItems(moved);
}

TEST_F(GraphPassTest, TwoProfilesServicesAndResourceNamesDoNotShareLibraryEntries)
{
    const std::vector<SimGroup> groups = MixedGroups();
    m_libraryRefreshHours.Delete();
    m_backend.Delete(); // Auto: EWS first
    Serve(groups);
    EXPECT_EQ(4u, CountedPass());

    // Another profile's token cache (the mail-client facts hold one profile
    // a process; forgotten here to stand for the other): its own entries.
    LSOutlookInfoAccess::Reset();
    ASSERT_EQ(S_OK, m_filter->SetCurrentProfileName(_bstr_t(L"Second Profile")));
    Serve(groups);
    EXPECT_EQ(4u, CountedPass());
    Serve(groups);
    EXPECT_EQ(1u, CountedPass());
    RemoveTree(LSOutlookInfo::GetProfileFilePath(L""));
    LSOutlookInfoAccess::Reset();
    ASSERT_EQ(S_OK, m_filter->SetCurrentProfileName(_bstr_t(ProfileName.c_str())));
    Serve(groups);
    EXPECT_EQ(1u, CountedPass());

    // Another resource name asks every group for that resource.
    m_groupResourceName.SetString(L"Conversations");
    Serve(groups);
    EXPECT_EQ(4u, CountedPass());
    LSHostPropertyMapHolder full;
    ASSERT_EQ(S_OK, m_filter->SetItemProperties(0, full.Interface()));
    EXPECT_EQ(groups[0].resources[0].second, full->Text(L"ows-Location"));
    m_groupResourceName.Delete();

    // EWS refused: the first Graph pass asks every drive, its entries are Graph's.
    Serve(groups);
    EwsSimClient::SetEwsMode("blocked");
    EXPECT_EQ(4u, CountedPass()); // the listing twice (a second token), Graph's listing and one batch
    EXPECT_EQ(3u, AskedLibraries().size());
    ExpectItems(groups);
    Serve(groups);
    EwsSimClient::SetEwsMode("blocked");
    EXPECT_EQ(1u, CountedPass());
    ExpectItems(groups);
}

// A pass that fails changes nothing: the host keeps its items and the cache
// its entries, those of groups the failed listing left out included; the
// library learned before the failure is not kept.
TEST_P(LibraryCacheTest, AFailedPassLeavesTheListAndTheEntriesAsTheyWere)
{
    const std::vector<SimGroup> groups = ManyGroups(4);
    const SimGroup first = Group(L"7a7a7a7a-0000-4000-8000-0000000000b1", L"New one", L"new1");
    const SimGroup failing = Group(L"7a7a7a7a-0000-4000-8000-0000000000b2", L"New two", L"new2");
    Serve(groups);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const std::vector<std::wstring> before = HostItems();

    Serve({groups[0], groups[2], groups[3], first, failing});
    if (OverEws())
        EwsSimClient::Script("[{\"match\": {\"operation\": \"GetUnifiedGroupDetails\"}, \"passThrough\": true}, "
                             "{\"match\": {\"operation\": \"GetUnifiedGroupDetails\"}, \"status\": 500}]");
    else
        GroupsSimulator::SetGraph(L"{\"throttle\": [{\"groupId\": \"" + failing.id + L"\", \"status\": 500}]}");
    EXPECT_EQ(E_FAIL, RunPass());
    EXPECT_EQ(before, HostItems());

    std::vector<SimGroup> withFirst = groups;
    withFirst.push_back(first);
    ExpectOnlyLibraryAsked(withFirst, first);
}

// Over Graph a group waiting for its library is never remembered: it is
// asked again at every pass.
TEST_F(GraphPassTest, AGroupWaitingForItsLibraryIsAskedAgainAtEveryPass)
{
    m_libraryRefreshHours.Delete();
    const std::vector<SimGroup> groups = ManyGroups(4);
    const SimGroup waiting = Group(L"7a7a7a7a-0000-4000-8000-0000000000b1", L"New one", L"new1");
    std::vector<SimGroup> withWaiting = groups;
    withWaiting.push_back(waiting);
    for (int pass = 0; pass < 2; ++pass)
    {
        Serve(withWaiting);
        GroupsSimulator::SetGraph(L"{\"provisioning\": [\"" + waiting.id + L"\"]}");
        ASSERT_EQ(S_OK, RunPass()) << m_log.All();
        ExpectItems(groups);
        EXPECT_EQ(pass == 0 ? 5u : 1u, AskedLibraries().size()) << pass;
    }
    Serve(withWaiting);
    EXPECT_EQ(2u, CountedPass());
    ExpectItems(withWaiting);
}

INSTANTIATE_TEST_SUITE_P(BothServices, LibraryCacheTest, ::testing::Values(Service::Ews, Service::Graph),
                         ServiceTestName);
