#pragma once
// File helpers of the recording and replaying requests.
#include <windows.h>
#include <oleauto.h>
#include <cstdio>
#include <memory>
#include <string>

namespace LSRequestReplay {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// The elements of a SAFEARRAY, accessible while the owner lives.
class SafeArrayData
{
public:
    // Throws the COM error of SafeArrayAccessData.
    explicit SafeArrayData(SAFEARRAY* array);
    ~SafeArrayData() { SafeArrayUnaccessData(m_array); }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;
    void* Get() const { return m_data; }

private:
    SAFEARRAY* m_array;
    void* m_data = nullptr;
};

// Opened for binary writing (created or truncated); E_FAIL after
// "Failed writing to file " when it cannot be.
UniqueFile OpenForWriting(const std::wstring& path);
// E_FAIL after "Failed writing to file " on a short write.
void WriteBytes(std::FILE* file, const std::wstring& path, const std::string& bytes);
// Closes a written file; E_FAIL after "Failed writing to file " when what was
// buffered cannot be written out.
void CloseWritten(UniqueFile& file, const std::wstring& path);
void WriteWholeFile(const std::wstring& path, const std::string& bytes);
// False, after "Failed to read binary file " in the error log, when the file
// cannot be opened or read.
bool ReadBinaryFile(const std::wstring& path, std::string& bytes);

// Every character that is not alphanumeric becomes "_".
std::wstring ReplaceNonAlphanumeric(std::wstring text);
// Base folder, configuration sub-folder and module name; rebuilt after ClearRecordingPrefix.
const std::wstring& RecordingPrefix(const std::wstring& configuration);
void ClearRecordingPrefix();

} // namespace LSRequestReplay
