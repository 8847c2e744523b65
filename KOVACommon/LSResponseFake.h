#pragma once
// A recorded answer, loaded from a response file.
#include <windows.h>
#include <comdef.h>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace LSHttpRequestMocks {

using ResponseHeaders = std::vector<std::pair<std::wstring, std::wstring>>;

// Lines up to the first empty one; name before the first ":", value after it
// without one leading space.
ResponseHeaders ParseResponseHeaders(const std::wstring& text);
// One "name: value" line per header, then an empty line.
std::wstring FormatResponseHeaders(const ResponseHeaders& headers);

class LSResponseFake
{
public:
    uint32_t status = 0;
    std::wstring statusText;
    ResponseHeaders headers;
    _variant_t body;

    // Throws the recorded LSHttpError for an error-form file; E_FAIL for a
    // file of neither form.
    static void ReadFromFile(const std::wstring& path, LSResponseFake& answer);

private:
    void Clear();
    void LoadSuccess(const std::wstring& text, const std::string& body);
};

} // namespace LSHttpRequestMocks
