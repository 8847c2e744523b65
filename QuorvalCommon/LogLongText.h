#pragma once
// Hands a possibly very long text to a writer in pieces small enough for one
// log line each.
#include "QuorvalCommon/LSLog.h"

#include <functional>
#include <string>

using LongTextWriter = std::function<void(const std::string& piece, const char* sourceFile, int line)>;

constexpr size_t LongTextPieceBytes = 25000;

void LogLongText(const std::wstring& text, const char* sourceFile, int line, const LongTextWriter& writer);

// The two writers the component uses: error lines and diagnostic lines at the
// caller's source position. Callers test the matching switch first.
void WriteErrorPiece(const std::string& piece, const char* sourceFile, int line);
void WriteDiagPiece(const std::string& piece, const char* sourceFile, int line);

#define LS_LOG_LONG_ERROR(text) \
    do { if (LSDiag::ErrorEnabled()) LogLongText(text, __FILE__, __LINE__, WriteErrorPiece); } while (0)
#define LS_LOG_LONG_DIAG(text) \
    do { if (LS_DIAG_ON) LogLongText(text, __FILE__, __LINE__, WriteDiagPiece); } while (0)
