// Registers (or with /u unregisters) a type library file, as an installer of
// the host product would.
#include <windows.h>
#include <oleauto.h>
#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    bool unregister = argc == 3 && (wcscmp(argv[1], L"/u") == 0);
    if (argc != 2 && !unregister)
    {
        fwprintf(stderr, L"usage: regtlb [/u] file.tlb\n");
        return 2;
    }
    const wchar_t* path = argv[argc - 1];
    wchar_t fullPath[MAX_PATH];
    if (!GetFullPathNameW(path, MAX_PATH, fullPath, nullptr))
        return 1;
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(fullPath, unregister ? REGKIND_NONE : REGKIND_REGISTER, &library);
    if (SUCCEEDED(hr) && unregister)
    {
        TLIBATTR* attributes = nullptr;
        hr = library->GetLibAttr(&attributes);
        if (SUCCEEDED(hr))
        {
            hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                   attributes->lcid, attributes->syskind);
            library->ReleaseTLibAttr(attributes);
        }
    }
    if (library)
        library->Release();
    if (FAILED(hr))
    {
        fwprintf(stderr, L"regtlb: %ls failed: 0x%08lx\n", fullPath, static_cast<unsigned long>(hr));
        return 1;
    }
    return 0;
}
