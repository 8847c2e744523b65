#pragma once
// Just enough JSON to read the simulator's answers in tests.
#include <map>
#include <memory>
#include <string>
#include <vector>

class JsonValue
{
public:
    enum class Kind { Null, Boolean, Number, String, Array, Object };

    static JsonValue Parse(const std::string& text); // throws std::runtime_error

    Kind GetKind() const { return m_kind; }
    bool IsNull() const { return m_kind == Kind::Null; }
    bool Boolean() const { return m_boolean; }
    double Number() const { return m_number; }
    const std::string& String() const { return m_string; }
    const std::vector<JsonValue>& Array() const { return m_array; }
    // Members in document order.
    const std::vector<std::pair<std::string, JsonValue>>& Object() const { return m_object; }
    // Member by name; a null value when absent.
    const JsonValue& operator[](const std::string& name) const;
    const JsonValue& operator[](size_t index) const { return m_array.at(index); }
    size_t Size() const { return m_kind == Kind::Array ? m_array.size() : m_object.size(); }

private:
    friend class JsonParser;
    Kind m_kind = Kind::Null;
    bool m_boolean = false;
    double m_number = 0;
    std::string m_string;
    std::vector<JsonValue> m_array;
    std::vector<std::pair<std::string, JsonValue>> m_object;
};
