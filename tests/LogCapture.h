#pragma once
// Captures the log lines written while it lives, with all switches on, so
// tests can assert them.
#include "QuorvalCommon/LSDiag.h"

#include <glog/logging.h>
#include <mutex>
#include <string>
#include <vector>

struct CapturedLine
{
    google::LogSeverity severity;
    std::string file; // base name
    int line;
    std::string text;
};

class LogCapture : public google::LogSink
{
public:
    explicit LogCapture(bool diag = true, bool perf = true, bool error = true);
    ~LogCapture() override;

    void send(google::LogSeverity severity, const char* fullFilename, const char* baseFilename, int line,
              const struct ::tm* time, const char* message, size_t messageLength) override;

    std::vector<CapturedLine> Lines() const;
    std::vector<std::string> Texts() const;
    // Lines whose text contains the part.
    std::vector<CapturedLine> Matching(const std::string& part) const;
    bool Contains(const std::string& part) const { return !Matching(part).empty(); }
    size_t Count(const std::string& part) const { return Matching(part).size(); }
    std::string All() const; // every text, one per line, for failure messages
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<CapturedLine> m_lines;
};
