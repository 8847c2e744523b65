#include "ConsoleShutdown.h"

#include <atomic>

namespace {

std::atomic<LSHostShutdownInformer*> g_informer{nullptr};
std::atomic<int> g_presses{0};

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (g_presses.fetch_add(1) > 0)
        return FALSE; // the default handler ends the process
    if (LSHostShutdownInformer* informer = g_informer.load())
        informer->SetShutdownRequested(true);
    const char notice[] = "synchost: shutdown requested (Ctrl+C again ends at once)\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), notice, sizeof(notice) - 1, &written, nullptr);
    return TRUE;
}

} // namespace

ConsoleShutdown::ConsoleShutdown(LSHostShutdownInformer& informer)
{
    g_informer.store(&informer);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

ConsoleShutdown::~ConsoleShutdown()
{
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_informer.store(nullptr);
}
