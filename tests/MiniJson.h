#pragma once
// Just enough JSON for the simulator's control answers: parse into a tree,
// and quote texts for requests (non-ASCII as \u escapes).
#include <map>
#include <string>
#include <vector>

struct JsonValue
{
    enum class Kind { Null, Bool, Number, Text, Array, Object };
    Kind kind = Kind::Null;
    bool flag = false;
    double number = 0;
    std::wstring text;
    std::vector<JsonValue> items;
    std::map<std::wstring, JsonValue> members;

    // A member of an object; a null value when absent.
    const JsonValue& operator[](const std::wstring& name) const;
};

// Throws std::runtime_error on malformed input.
JsonValue ParseJson(const std::wstring& text);
std::wstring JsonQuote(const std::wstring& text);
