/* The stack protector's guard value and failure handler, linked into every
 * binary in place of GCC's libssp. libssp seeds its guard through
 * CryptAcquireContext, which loads the RSA provider and the certificate
 * library into the host at each module's load (about 10 ms of every start-up
 * under Wine); the system's random generator gives the bits without them.
 *
 * Built without the protector itself: the seeding function changes the guard
 * while it runs. */
#include <windows.h>
#include <ntsecapi.h>
#include <stdint.h>

/* Used only until the seed below replaces it. */
uintptr_t __stack_chk_guard = (uintptr_t)0x2B992DDFA232ull;

static uintptr_t FallbackSeed(void)
{
    FILETIME time;
    LARGE_INTEGER counter;
    GetSystemTimeAsFileTime(&time);
    QueryPerformanceCounter(&counter);
    uintptr_t seed = ((uintptr_t)time.dwHighDateTime << 32) ^ time.dwLowDateTime;
    seed ^= (uintptr_t)counter.QuadPart ^ ((uintptr_t)counter.QuadPart << 32);
    seed ^= ((uintptr_t)GetCurrentProcessId() << 16) ^ GetCurrentThreadId();
    return seed ^ (uintptr_t)&seed;
}

/* Before the C++ static constructors, so that they already run protected. */
__attribute__((constructor(101))) static void SeedStackGuard(void)
{
    uintptr_t seed = 0;
    if (!RtlGenRandom(&seed, sizeof(seed)) || seed == 0)
        seed = FallbackSeed();
    __stack_chk_guard = seed ? seed : (uintptr_t)0x2B992DDFA232ull;
}

/* A smashed stack ends the process at once, as a failed /GS cookie check
 * does: no exception handler of the host runs, error reporting takes its
 * dump. */
__attribute__((noreturn)) void __stack_chk_fail(void)
{
    __asm__ __volatile__("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE));
    /* Before Windows 8 the interrupt is no fast fail. */
    TerminateProcess(GetCurrentProcess(), 0xC0000409u /* STATUS_STACK_BUFFER_OVERRUN */);
    for (;;)
        __builtin_trap();
}
