#pragma once
// Owners for the Windows handles the component uses.
#include <windows.h>
#include <utility>

template <typename Traits>
class UniqueHandleT
{
public:
    using Handle = typename Traits::Handle;
    UniqueHandleT() = default;
    explicit UniqueHandleT(Handle handle) : m_handle(handle) {}
    ~UniqueHandleT() { Reset(); }
    UniqueHandleT(const UniqueHandleT&) = delete;
    UniqueHandleT& operator=(const UniqueHandleT&) = delete;
    UniqueHandleT(UniqueHandleT&& other) noexcept : m_handle(other.Release()) {}
    UniqueHandleT& operator=(UniqueHandleT&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return m_handle; }
    Handle* Put()
    {
        Reset();
        return &m_handle;
    }
    bool IsValid() const { return Traits::IsValid(m_handle); }
    explicit operator bool() const { return IsValid(); }
    Handle Release()
    {
        Handle handle = m_handle;
        m_handle = Traits::Invalid();
        return handle;
    }
    void Reset(Handle handle = Traits::Invalid())
    {
        if (Traits::IsValid(m_handle))
            Traits::Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Traits::Invalid();
};

// A handle type whose empty value is null, closed by the given function.
template <typename H, auto CloseFunction>
struct NullHandleTraits
{
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseFunction(h); }
};

// A kernel handle, empty when null or INVALID_HANDLE_VALUE.
template <auto CloseFunction>
struct KernelStyleHandleTraits
{
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) { CloseFunction(h); }
};

using RegKeyTraits = NullHandleTraits<HKEY, &RegCloseKey>;
using KernelHandleTraits = KernelStyleHandleTraits<&CloseHandle>;
using FindHandleTraits = KernelStyleHandleTraits<&FindClose>;
using ModuleTraits = NullHandleTraits<HMODULE, &FreeLibrary>;
using WindowsHookTraits = NullHandleTraits<HHOOK, &UnhookWindowsHookEx>;

using UniqueHKey = UniqueHandleT<RegKeyTraits>;
using UniqueHandle = UniqueHandleT<KernelHandleTraits>;
using UniqueFindHandle = UniqueHandleT<FindHandleTraits>;
using UniqueHModule = UniqueHandleT<ModuleTraits>;
using UniqueHook = UniqueHandleT<WindowsHookTraits>;

// Frees memory the platform handed out with LocalAlloc (FormatMessage's buffer).
struct LocalFreer
{
    void operator()(void* p) const { LocalFree(p); }
};

// Frees memory the platform handed out with GlobalAlloc (WinHTTP's proxy texts).
struct GlobalFreer
{
    void operator()(void* p) const { GlobalFree(p); }
};

// Frees LocalAlloc'd / CoTaskMemAlloc'd memory handed out by the platform.
struct CoTaskMemFreer
{
    void operator()(void* p) const { CoTaskMemFree(p); }
};
