#include "RecordedExchanges.h"

#include "CStdStr.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::wstring Wide(const std::string& utf8)
{
    return MultiByteToWide(utf8, CP_UTF8);
}

std::string ReadAll(const std::wstring& file)
{
    std::ifstream stream(file.c_str(), std::ios::binary);
    if (!stream)
        throw std::runtime_error("cannot open the exchanges file");
    std::ostringstream content;
    content << stream.rdbuf();
    return content.str();
}

class Reader
{
public:
    explicit Reader(std::string text) : m_text(std::move(text)) {}
    bool AtEnd() const { return m_at >= m_text.size(); }

    std::string Line()
    {
        const size_t end = m_text.find('\n', m_at);
        if (end == std::string::npos)
            throw std::runtime_error("exchanges file: line without end");
        std::string line = m_text.substr(m_at, end - m_at);
        m_at = end + 1;
        return line;
    }

    std::string Bytes(size_t count)
    {
        if (m_text.size() - m_at < count + 1 || m_text[m_at + count] != '\n')
            throw std::runtime_error("exchanges file: body shorter than announced");
        std::string bytes = m_text.substr(m_at, count);
        m_at += count + 1;
        return bytes;
    }

private:
    std::string m_text;
    size_t m_at = 0;
};

bool StartsWith(const std::string& line, const char* prefix, std::string& rest)
{
    const std::string start(prefix);
    if (line.compare(0, start.size(), start) != 0)
        return false;
    rest = line.substr(start.size());
    return true;
}

void AddHeader(RecordedExchange& exchange, const std::string& text)
{
    const size_t tab = text.find('\t');
    if (tab == std::string::npos)
        throw std::runtime_error("exchanges file: header without a tab");
    exchange.headers.emplace_back(Wide(text.substr(0, tab)), Wide(text.substr(tab + 1)));
}

void StartExchange(std::vector<RecordedExchange>& exchanges, const std::string& text)
{
    const size_t space = text.find(' ');
    if (space == std::string::npos)
        throw std::runtime_error("exchanges file: exchange without a path");
    exchanges.push_back({Wide(text.substr(0, space)), Wide(text.substr(space + 1)), {}, {}});
}

} // namespace

std::vector<RecordedExchange> ReadRecordedExchanges(const std::wstring& file)
{
    Reader reader(ReadAll(file));
    std::vector<RecordedExchange> exchanges;
    while (!reader.AtEnd())
    {
        const std::string line = reader.Line();
        std::string rest;
        if (StartsWith(line, "exchange ", rest))
            StartExchange(exchanges, rest);
        else if (exchanges.empty())
            throw std::runtime_error("exchanges file: data before the first exchange");
        else if (StartsWith(line, "header ", rest))
            AddHeader(exchanges.back(), rest);
        else if (StartsWith(line, "body ", rest))
            exchanges.back().body = Wide(reader.Bytes(std::stoul(rest)));
        else
            throw std::runtime_error("exchanges file: unknown line");
    }
    return exchanges;
}
