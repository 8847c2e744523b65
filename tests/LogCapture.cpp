#include "LSDiagAccess.h"
#include "LogCapture.h"

LogCapture::LogCapture(bool diag, bool perf, bool error)
{
    LSDiagAccess::SetSwitches(diag, perf, error);
    google::AddLogSink(this);
}

LogCapture::~LogCapture()
{
    google::RemoveLogSink(this);
    LSDiagAccess::SetSwitches(false, false, false);
}

void LogCapture::send(google::LogSeverity severity, const char*, const char* baseFilename, int line,
                      const struct ::tm*, const char* message, size_t messageLength)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back({severity, baseFilename, line, std::string(message, messageLength)});
}

std::vector<CapturedLine> LogCapture::Lines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

std::vector<std::string> LogCapture::Texts() const
{
    std::vector<std::string> texts;
    for (const CapturedLine& line : Lines())
        texts.push_back(line.text);
    return texts;
}

std::vector<CapturedLine> LogCapture::Matching(const std::string& part) const
{
    std::vector<CapturedLine> found;
    for (const CapturedLine& line : Lines())
        if (line.text.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

std::string LogCapture::All() const
{
    std::string all;
    for (const CapturedLine& line : Lines())
        all += line.text + "\n";
    return all;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}
