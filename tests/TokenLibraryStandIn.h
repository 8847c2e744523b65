#pragma once
// Drives the token library stand-in (external/AuthTokenLibrary) through its
// registry key: a clean key while the test runs, removed again at the end.
#include <windows.h>
#include <string>

class TokenLibraryStandIn
{
public:
    TokenLibraryStandIn();
    ~TokenLibraryStandIn();
    TokenLibraryStandIn(const TokenLibraryStandIn&) = delete;
    TokenLibraryStandIn& operator=(const TokenLibraryStandIn&) = delete;

    // Token of the n-th acquisition of one library object (from 1).
    void SetToken(unsigned acquisition, const std::wstring& token) const;
    void SetPollsBeforeDone(DWORD polls) const;
    // methods: one name or several separated by ";".
    void Fail(const std::wstring& methods, HRESULT hr, DWORD fromCall = 1) const;
    void SetLastError(const std::wstring& message, const std::wstring& stack) const;

    DWORD Count(const std::wstring& method) const; // calls of a method
    bool Has(const std::wstring& name) const;
    std::wstring Text(const std::wstring& name) const;
    // Arguments of the n-th StartAcquire: scope, retry, owner, reserved (TAB-separated).
    std::wstring StartAcquireArguments(unsigned call) const { return Text(L"StartAcquire." + std::to_wstring(call)); }

private:
    void WriteText(const std::wstring& name, const std::wstring& value) const;
    void WriteNumber(const std::wstring& name, DWORD value) const;
};
