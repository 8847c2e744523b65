#pragma once
// The four kinds of log line. Each macro tests its switch (and, for diagnostic
// and performance lines, the verbosity of the writing source file) before any
// text is composed. Stream wide text through ToLogText.
#include "QuorvalCommon/LSDiag.h"

#include <windows.h>
#include <glog/logging.h>
#include <string>

// Wide text as UTF-8; text that cannot be converted goes through the ANSI code
// page behind the "utf8_log_failed: " marker.
std::string ToLogText(const std::wstring& text);
std::string ToLogText(const wchar_t* text);

// HRESULTs and Windows error codes in log lines: lower-case hex, no prefix.
struct LogHex
{
    explicit LogHex(unsigned long v) : value(v) {}
    explicit LogHex(long v) : value(static_cast<unsigned long>(v)) {}
    explicit LogHex(int v) : value(static_cast<unsigned long>(v)) {}
    explicit LogHex(unsigned int v) : value(v) {}
    unsigned long value;
};
std::ostream& operator<<(std::ostream& stream, const LogHex& hex);

#define LS_LOG_AT(file, line, severity) \
    google::LogMessage(file, line, google::GLOG_##severity).stream()

#define LS_ERROR_LOG \
    if (!LSDiag::ErrorEnabled()) {} else LS_LOG_AT(__FILE__, __LINE__, ERROR)

// Warnings go with the error lines: the same switch, a lower severity.
#define LS_WARNING_LOG \
    if (!LSDiag::ErrorEnabled()) {} else LS_LOG_AT(__FILE__, __LINE__, WARNING)

#define LS_DIAG_LOG \
    if (!(LSDiag::DiagEnabled() && VLOG_IS_ON(1))) {} else LS_LOG_AT(__FILE__, __LINE__, WARNING)

#define LS_PERF_LOG \
    if (!(LSDiag::PerfEnabled() && VLOG_IS_ON(1))) {} else LS_LOG_AT(__FILE__, __LINE__, WARNING)

#define LS_BANNER_LOG LS_LOG_AT(__FILE__, __LINE__, INFO)

// True when a diagnostic line written from this source file would be written.
#define LS_DIAG_ON (LSDiag::DiagEnabled() && VLOG_IS_ON(1))
