// trusttestca add|remove CA.pem
//
// add: puts the certificate into the current user's ROOT store, after taking
// out every certificate there with the same subject (the CA of an earlier
// run), so the store never collects one test CA per run.
// remove: takes out every certificate with that subject.
#include "QuorvalCommon/UniqueHandles.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void CloseStore(HCERTSTORE store)
{
    CertCloseStore(store, 0);
}

using UniqueCertStore = UniqueHandleT<NullHandleTraits<HCERTSTORE, &CloseStore>>;
using UniqueCertContext = UniqueHandleT<NullHandleTraits<PCCERT_CONTEXT, &CertFreeCertificateContext>>;

[[noreturn]] void Fail(const char* what)
{
    char text[160];
    snprintf(text, sizeof text, "%s failed: error %lu", what, static_cast<unsigned long>(GetLastError()));
    throw std::runtime_error(text);
}

std::string ReadFile(const wchar_t* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the certificate file");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// DER bytes of the first certificate in a PEM (or DER) file.
std::vector<BYTE> CertificateBytes(const std::string& text)
{
    DWORD size = 0;
    const DWORD length = static_cast<DWORD>(text.size());
    if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64_ANY, nullptr, &size, nullptr, nullptr))
        return std::vector<BYTE>(text.begin(), text.end());
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64_ANY, der.data(), &size, nullptr, nullptr))
        Fail("CryptStringToBinaryA");
    der.resize(size);
    return der;
}

// The registry part of the user's ROOT store only: under Wine the whole system
// store also holds the machine's roots, and a deletion found through it does
// not reach the registry, so an earlier run's CA would stay.
UniqueCertStore OpenUserRoot()
{
    UniqueCertStore store(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT"));
    if (!store)
        Fail("CertOpenStore(ROOT)");
    return store;
}

// Deletes every certificate of the store whose subject equals the given one.
int RemoveSameSubject(HCERTSTORE store, PCCERT_CONTEXT certificate)
{
    int removed = 0;
    for (;;)
    {
        PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                                          &certificate->pCertInfo->Subject, nullptr);
        if (!found)
            return removed;
        // CertDeleteCertificateFromStore frees the context, even on failure.
        if (!CertDeleteCertificateFromStore(found))
            Fail("CertDeleteCertificateFromStore");
        ++removed;
    }
}

int Run(bool add, const wchar_t* path)
{
    const std::vector<BYTE> der = CertificateBytes(ReadFile(path));
    UniqueCertContext certificate(
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    if (!certificate)
        Fail("CertCreateCertificateContext");
    UniqueCertStore store = OpenUserRoot();
    const int removed = RemoveSameSubject(store.Get(), certificate.Get());
    if (add && !CertAddEncodedCertificateToStore(store.Get(), X509_ASN_ENCODING, der.data(),
                                                 static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                 nullptr))
        Fail("CertAddEncodedCertificateToStore");
    wprintf(L"trusttestca: %d earlier removed%ls\n", removed, add ? L", added" : L"");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool add = argc == 3 && wcscmp(argv[1], L"add") == 0;
    const bool remove = argc == 3 && wcscmp(argv[1], L"remove") == 0;
    if (!add && !remove)
    {
        fwprintf(stderr, L"usage: trusttestca add|remove CA.pem\n");
        return 2;
    }
    try
    {
        return Run(add, argv[2]);
    }
    catch (const std::exception& e)
    {
        fprintf(stderr, "trusttestca: %ls: %s\n", argv[2], e.what());
        return 1;
    }
}
