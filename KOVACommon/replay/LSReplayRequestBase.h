#pragma once
// What the recording and the replaying request share: the request as opened
// and headed, and the names of the files that hold each exchange.
#include "QuorvalCommon/CStdStr.h"

#include <windows.h>
#include <comdef.h>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace LSRequestReplay {

struct RequestFileNames
{
    std::wstring request;
    std::wstring response;
};

struct RequestRecord
{
    std::wstring method;
    std::wstring url;
    std::wstring action;
};

class LSReplayRequestBase
{
public:
    virtual ~LSReplayRequestBase() = default;
    virtual void Configure(const std::wstring& configuration);
    virtual HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async,
                         const _variant_t& user, const _variant_t& password) = 0;
    virtual HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value);
    virtual _bstr_t GetRequestHeader(const _bstr_t& name);

    // Exchanges of every recorder and playback request of the process so far.
    static uint32_t ExchangeCount();

protected:
    void StoreOpen(const _bstr_t& method, const _bstr_t& url);
    // Counts one more exchange and names its two files.
    RequestFileNames NextExchangeFiles();
    // The request file's text for this request.
    std::string RequestFileText() const;
    // Empty fields when the file cannot be read (logged).
    static RequestRecord ReadRequestRecord(const std::wstring& path);

    std::wstring m_method;
    std::wstring m_url;
    std::wstring m_action;
    std::vector<std::pair<_bstr_t, _bstr_t>> m_headers;
    std::wstring m_configuration;

private:
    std::wstring FileAction() const;
};

} // namespace LSRequestReplay
