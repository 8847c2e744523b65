#include "MiniJson.h"

#include <cstdlib>
#include <stdexcept>

class JsonParser
{
public:
    explicit JsonParser(const std::string& text) : m_text(text) {}

    JsonValue ParseDocument()
    {
        JsonValue value = ParseValue();
        SkipSpace();
        if (m_at != m_text.size())
            Fail("trailing text");
        return value;
    }

private:
    [[noreturn]] void Fail(const char* what) const
    {
        throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(m_at));
    }

    void SkipSpace()
    {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\n' || m_text[m_at] == '\r' ||
                                        m_text[m_at] == '\t'))
            ++m_at;
    }

    bool Take(char ch)
    {
        SkipSpace();
        if (m_at < m_text.size() && m_text[m_at] == ch)
        {
            ++m_at;
            return true;
        }
        return false;
    }

    void Expect(char ch)
    {
        if (!Take(ch))
            Fail("unexpected character");
    }

    bool TakeWord(const char* word)
    {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0)
            return false;
        m_at += w.size();
        return true;
    }

    JsonValue ParseValue()
    {
        SkipSpace();
        if (m_at >= m_text.size())
            Fail("unexpected end");
        JsonValue value;
        const char ch = m_text[m_at];
        if (ch == '{')
            ParseObject(value);
        else if (ch == '[')
            ParseArray(value);
        else if (ch == '"')
        {
            value.m_kind = JsonValue::Kind::String;
            value.m_string = ParseString();
        }
        else if (TakeWord("true") || TakeWord("false"))
        {
            value.m_kind = JsonValue::Kind::Boolean;
            value.m_boolean = ch == 't';
        }
        else if (TakeWord("null"))
            value.m_kind = JsonValue::Kind::Null;
        else
            ParseNumber(value);
        return value;
    }

    void ParseObject(JsonValue& value)
    {
        value.m_kind = JsonValue::Kind::Object;
        Expect('{');
        if (Take('}'))
            return;
        do
        {
            SkipSpace();
            std::string name = ParseString();
            Expect(':');
            value.m_object.emplace_back(std::move(name), ParseValue());
        } while (Take(','));
        Expect('}');
    }

    void ParseArray(JsonValue& value)
    {
        value.m_kind = JsonValue::Kind::Array;
        Expect('[');
        if (Take(']'))
            return;
        do
            value.m_array.push_back(ParseValue());
        while (Take(','));
        Expect(']');
    }

    void ParseNumber(JsonValue& value)
    {
        const char* start = m_text.c_str() + m_at;
        char* end = nullptr;
        value.m_number = std::strtod(start, &end);
        if (end == start)
            Fail("bad value");
        value.m_kind = JsonValue::Kind::Number;
        m_at += static_cast<size_t>(end - start);
    }

    unsigned ParseHex4()
    {
        if (m_at + 4 > m_text.size())
            Fail("short escape");
        const unsigned code = static_cast<unsigned>(std::stoul(m_text.substr(m_at, 4), nullptr, 16));
        m_at += 4;
        return code;
    }

    static void AppendUtf8(std::string& out, unsigned code)
    {
        if (code < 0x80)
            out += static_cast<char>(code);
        else if (code < 0x800)
        {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        else if (code < 0x10000)
        {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    unsigned ParseEscapedCode()
    {
        unsigned code = ParseHex4();
        if (code >= 0xD800 && code <= 0xDBFF && m_text.compare(m_at, 2, "\\u") == 0)
        {
            m_at += 2;
            const unsigned low = ParseHex4();
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        return code;
    }

    std::string ParseString()
    {
        if (m_at >= m_text.size() || m_text[m_at] != '"')
            Fail("expected string");
        ++m_at;
        std::string out;
        while (m_at < m_text.size() && m_text[m_at] != '"')
        {
            char ch = m_text[m_at++];
            if (ch != '\\')
            {
                out += ch;
                continue;
            }
            if (m_at >= m_text.size())
                Fail("short escape");
            ch = m_text[m_at++];
            switch (ch)
            {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': AppendUtf8(out, ParseEscapedCode()); break;
            default: out += ch; break;
            }
        }
        if (m_at >= m_text.size())
            Fail("unterminated string");
        ++m_at;
        return out;
    }

    const std::string& m_text;
    size_t m_at = 0;
};

JsonValue JsonValue::Parse(const std::string& text)
{
    return JsonParser(text).ParseDocument();
}

const JsonValue& JsonValue::operator[](const std::string& name) const
{
    static const JsonValue null;
    for (const auto& member : m_object)
        if (member.first == name)
            return member.second;
    return null;
}
