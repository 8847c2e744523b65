#include "MiniJson.h"

#include <cwchar>
#include <stdexcept>

namespace {

class Parser
{
public:
    explicit Parser(const std::wstring& text) : m_text(text) {}

    JsonValue Document()
    {
        JsonValue value = Value();
        SkipSpace();
        if (m_pos != m_text.size())
            Fail("trailing text");
        return value;
    }

private:
    [[noreturn]] void Fail(const char* what) const
    {
        throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(m_pos));
    }
    void SkipSpace()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == L' ' || m_text[m_pos] == L'\t' ||
                                         m_text[m_pos] == L'\r' || m_text[m_pos] == L'\n'))
            ++m_pos;
    }
    bool Take(wchar_t c)
    {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c)
        {
            ++m_pos;
            return true;
        }
        return false;
    }
    void Expect(wchar_t c)
    {
        if (!Take(c))
            Fail("unexpected character");
    }
    bool TakeWord(const wchar_t* word)
    {
        size_t length = wcslen(word);
        if (m_text.compare(m_pos, length, word) != 0)
            return false;
        m_pos += length;
        return true;
    }

    JsonValue Value()
    {
        SkipSpace();
        JsonValue value;
        if (m_pos >= m_text.size())
            Fail("end of input");
        wchar_t c = m_text[m_pos];
        if (c == L'{')
            return Object();
        if (c == L'[')
            return Array();
        if (c == L'"')
        {
            value.kind = JsonValue::Kind::Text;
            value.text = Text();
        }
        else if (TakeWord(L"true"))
        {
            value.kind = JsonValue::Kind::Bool;
            value.flag = true;
        }
        else if (TakeWord(L"false"))
            value.kind = JsonValue::Kind::Bool;
        else if (TakeWord(L"null"))
            value.kind = JsonValue::Kind::Null;
        else
        {
            size_t used = 0;
            value.number = std::stod(m_text.substr(m_pos), &used);
            value.kind = JsonValue::Kind::Number;
            m_pos += used;
        }
        return value;
    }

    JsonValue Object()
    {
        JsonValue value;
        value.kind = JsonValue::Kind::Object;
        Expect(L'{');
        if (Take(L'}'))
            return value;
        do
        {
            SkipSpace();
            std::wstring name = Text();
            Expect(L':');
            value.members[name] = Value();
        } while (Take(L','));
        Expect(L'}');
        return value;
    }

    JsonValue Array()
    {
        JsonValue value;
        value.kind = JsonValue::Kind::Array;
        Expect(L'[');
        if (Take(L']'))
            return value;
        do
            value.items.push_back(Value());
        while (Take(L','));
        Expect(L']');
        return value;
    }

    std::wstring Text()
    {
        Expect(L'"');
        std::wstring out;
        while (m_pos < m_text.size() && m_text[m_pos] != L'"')
        {
            wchar_t c = m_text[m_pos++];
            if (c != L'\\')
            {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size())
                Fail("bad escape");
            wchar_t e = m_text[m_pos++];
            switch (e)
            {
            case L'n': out += L'\n'; break;
            case L't': out += L'\t'; break;
            case L'r': out += L'\r'; break;
            case L'b': out += L'\b'; break;
            case L'f': out += L'\f'; break;
            case L'u':
                if (m_pos + 4 > m_text.size())
                    Fail("bad \\u escape");
                out += static_cast<wchar_t>(std::stoul(m_text.substr(m_pos, 4), nullptr, 16));
                m_pos += 4;
                break;
            default: out += e; break; // \" \\ \/
            }
        }
        Expect(L'"');
        return out;
    }

    const std::wstring& m_text;
    size_t m_pos = 0;
};

const JsonValue& NullValue()
{
    static const JsonValue null;
    return null;
}

} // namespace

const JsonValue& JsonValue::operator[](const std::wstring& name) const
{
    auto found = members.find(name);
    return found == members.end() ? NullValue() : found->second;
}

JsonValue ParseJson(const std::wstring& text) { return Parser(text).Document(); }

std::wstring JsonQuote(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text)
    {
        if (c == L'"' || c == L'\\')
        {
            out += L'\\';
            out += c;
        }
        else if (c < 0x20 || c > 0x7E)
        {
            wchar_t escape[8];
            _snwprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
            out += escape;
        }
        else
            out += c;
    }
    return out + L"\"";
}
