#pragma once
// File helpers of the recording and replaying requests.
#include <cstdio>
#include <memory>
#include <string>

namespace LSHttpRequestMocks {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opened for binary writing (created or truncated); E_FAIL after
// "Failed writing to file " when it cannot be.
UniqueFile OpenForWriting(const std::wstring& path);
// E_FAIL after "Failed writing to file " on a short write.
void WriteBytes(std::FILE* file, const std::wstring& path, const std::string& bytes);
void WriteWholeFile(const std::wstring& path, const std::string& bytes);
// False when the file cannot be opened or read.
bool ReadBinaryFile(const std::wstring& path, std::string& bytes);

// Every character that is not alphanumeric becomes "_".
std::wstring ReplaceNonAlphanumeric(std::wstring text);
// Base folder, configuration sub-folder and module name; rebuilt after ClearRecordingPrefix.
const std::wstring& RecordingPrefix(const std::wstring& configuration);
void ClearRecordingPrefix();

} // namespace LSHttpRequestMocks
