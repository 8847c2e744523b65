#include "QuorvalCommon/LogLongText.h"

#include "QuorvalCommon/LSLog.h"

void LogLongText(const std::wstring& text, const char* sourceFile, int line, const LongTextWriter& writer)
{
    const std::string converted = ToLogText(text);
    if (converted.empty())
    {
        writer("(empty string)", sourceFile, line);
        return;
    }
    for (size_t start = 0; start < converted.size(); start += LongTextPieceBytes)
        writer(converted.substr(start, LongTextPieceBytes), sourceFile, line);
}

void WriteErrorPiece(const std::string& piece, const char* sourceFile, int line)
{
    LS_LOG_AT(sourceFile, line, ERROR) << piece;
}

void WriteDiagPiece(const std::string& piece, const char* sourceFile, int line)
{
    LS_LOG_AT(sourceFile, line, WARNING) << piece;
}
