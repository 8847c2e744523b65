// The real DLL, registered and created by ProgID, inside a host of the tests'
// own: its message loop, its timers and its last reference during a pass.
#include "ComponentRegistration.h"
#include "GroupsPassFixture.h"
#include "KOVACommon/host/LSPropertyNames.h"

#include <functional>
#include <map>

namespace {

// The host's timers: each callback runs once, from the thread's message loop
// or from whatever loop pumps messages when it is due.
std::map<UINT_PTR, std::function<void()>>& Timers()
{
    static std::map<UINT_PTR, std::function<void()>> timers;
    return timers;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    auto found = Timers().find(id);
    if (found == Timers().end())
        return;
    const std::function<void()> callback = std::move(found->second);
    Timers().erase(found);
    callback();
}

void AddTimer(UINT milliseconds, std::function<void()> callback)
{
    Timers()[SetTimer(nullptr, 0, milliseconds, OnTimer)] = std::move(callback);
}

void PumpMessagesFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// The real DLL, registered and created by ProgID, inside a host of the tests'
// own: the host starts the folder update from its message loop, and its
// timers fire while the filter waits for a slow simulator.
class HostedFilterTest : public GroupsPassTest
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(0u, RunRegsvr32(L"/s"));
        GroupsPassTest::SetUp();
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"Quorval.SyncFilter.UnifiedGroups", &clsid));
        m_filter = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ILSSyncFilter2),
                                         reinterpret_cast<void**>(&m_filter)));
        ASSERT_NE(GetModuleHandleW(nullptr), ModuleOf(m_filter)); // the DLL's object, not the test's own copy
        ASSERT_EQ(S_OK, ILSNeedsShutdownInfoPtr(m_filter)->SetShutdownInformer(m_informer.Pointer()));
        ASSERT_EQ(S_OK, m_filter->SetCurrentProfileName(_bstr_t(ProfileName.c_str())));
    }

    void TearDown() override
    {
        for (const auto& timer : Timers())
            KillTimer(nullptr, timer.first);
        Timers().clear();
        GroupsPassTest::TearDown();
    }

    static HMODULE ModuleOf(IUnknown* object)
    {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(*reinterpret_cast<void**>(object)), &module);
        return module;
    }

    // The host's message loop until the folder update it starts has returned.
    HRESULT RunPassFromMessageLoop(ILSSyncFilter2* filter)
    {
        HRESULT result = E_PENDING;
        AddTimer(1, [&] {
            m_passRunning = true;
            result = filter->PreContentSyncFolderUpdate(m_folder.Interface());
            m_passRunning = false;
            PostQuitMessage(0);
        });
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        return result;
    }

    bool m_passRunning = false;
    ComponentRegistrationGuard m_registration;
};

} // namespace

// A mail client that closes drops its last reference from a message handler
// while the pass waits: the object lives until the call returns, then goes.
TEST_F(HostedFilterTest, TheHostsLastReferenceReleasedDuringThePass)
{
    ILSSyncFilter2* host = m_filter.Detach(); // the host's only reference
    const ULONG informerReferences = m_informer.Host().RefCount(); // the test's and the filter's
    m_sim.SetAnswerDelay(300);
    bool releasedDuringPass = false;
    AddTimer(150, [&] {
        releasedDuringPass = m_passRunning;
        host->Release();
    });
    EXPECT_EQ(S_OK, RunPassFromMessageLoop(host));
    EXPECT_TRUE(releasedDuringPass);
    // Gone with the call's end: it released the informer it held.
    EXPECT_EQ(informerReferences - 1, m_informer.Host().RefCount());
    const size_t folderCalls = m_folder->Calls().size();
    PumpMessagesFor(400);
    EXPECT_EQ(folderCalls, m_folder->Calls().size());

    const HMODULE dll = GetModuleHandleW(L"KOVAUnifiedGroupsSync64.dll");
    ASSERT_NE(nullptr, dll);
    using CanUnloadNow = HRESULT(WINAPI*)();
    EXPECT_EQ(S_FALSE, reinterpret_cast<CanUnloadNow>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllCanUnloadNow")))());
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(dll, GetModuleHandleW(L"KOVAUnifiedGroupsSync64.dll")); // pinned: never unloaded
}

// The host's own shutdown: a WM_QUIT posted while the pass waits, for an
// answer or for the token, ends the pass as a shutdown (the list kept) and
// still reaches the host's loop, with its code.
TEST_F(HostedFilterTest, AQuitPostedDuringThePassEndsItAndReachesTheHostsLoop)
{
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    for (const bool waitForToken : {false, true})
    {
        m_sim.SetAnswerDelay(waitForToken ? 0 : 300);
        m_library.SetPollsBeforeDone(waitForToken ? 100000 : 0);
        HRESULT result = E_PENDING;
        AddTimer(1, [&] { result = m_filter->PreContentSyncFolderUpdate(m_folder.Interface()); });
        AddTimer(100, [] { PostQuitMessage(42); });
        AddTimer(10000, [] { PostQuitMessage(7); }); // a quit taken by the pass would leave the loop waiting
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        EXPECT_EQ(42u, message.wParam) << waitForToken;
        EXPECT_EQ(E_ABORT, result) << waitForToken;
        for (const auto& timer : Timers())
            KillTimer(nullptr, timer.first);
        Timers().clear();
        ExpectItems(SimGroups());
    }
    m_library.SetPollsBeforeDone(0);
}

TEST_F(HostedFilterTest, ANestedPassFromATimerIsRefusedAndTheOuterPassCompletesWithTheFullList)
{
    // A nested pass that ran instead of being refused would take four answers: 1.6 s.
    m_sim.SetAnswerDelay(400);
    HRESULT nested = S_OK;
    DWORD nestedMs = 0;
    USHORT countDuring = 99;
    HRESULT deletedDuring = S_OK;
    AddTimer(100, [&] {
        const DWORD start = GetTickCount();
        LSHostPropertyMapHolder otherFolder;
        otherFolder->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation), L"a!b");
        nested = m_filter->PreContentSyncFolderUpdate(otherFolder.Interface());
        nestedMs = GetTickCount() - start;
        m_filter->get_ItemCount(&countDuring);
        deletedDuring = IsDeleted(RegistryForm(SimGroups()[0].id));
    });
    ASSERT_EQ(S_OK, RunPassFromMessageLoop(m_filter));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), nested);
    EXPECT_LT(nestedMs, 1000u);
    EXPECT_EQ(0, countDuring); // the list before the pass: none yet
    EXPECT_EQ(E_UNEXPECTED, deletedDuring);
    ExpectItems(SimGroups());
    EXPECT_EQ(4u, m_sim.Requests().size());
}

TEST_F(HostedFilterTest, DeletionCheckWithoutAListOrAKeyAndAnOverlongStartPoint)
{
    ILSManualDeletionsSyncFilterPtr deletions(m_filter);
    const _bstr_t empty(L"");
    const std::wstring key = RegistryForm(SimGroups()[0].id);
    EXPECT_EQ(E_UNEXPECTED, IsDeleted(key)); // before any pass
    m_sim.Refuse(FirstToken, 403);
    m_sim.Refuse(SecondToken, 403);
    EXPECT_EQ(E_FAIL, RunPass());
    EXPECT_EQ(E_UNEXPECTED, IsDeleted(key)); // after a failed first pass
    EXPECT_EQ(E_INVALIDARG, deletions->IsDeleted(nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, deletions->IsDeleted(empty, 0));

    EXPECT_EQ(E_INVALIDARG, m_filter->SetSyncStartPointByString(_bstr_t(std::wstring(2049, L's').c_str())));
    EXPECT_EQ(S_OK, m_filter->SetSyncStartPointByString(_bstr_t(std::wstring(2048, L's').c_str())));
    EXPECT_EQ(S_OK, m_filter->SetSyncStartPointByString(nullptr));
}
