// A strict JSON reader for tests of the JSON the program writes: it accepts
// exactly RFC 8259's grammar (no trailing commas, no leading zeros, no raw
// control characters in strings, nothing after the value) and gives the
// value as a tree, so a test can look inside what it checked.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct JsonValue {
    enum class Type { null, boolean, number, string, array, object } type = Type::null;
    std::string text; // a string's decoded UTF-8, a number's or literal's spelling
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members; // in order, duplicates kept

    // The member `key` of an object, or null.
    const JsonValue* member(const std::string& key) const
    {
        for (const auto& m : members)
            if (m.first == key)
                return &m.second;
        return nullptr;
    }
};

namespace json_tree_detail {

class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}

    std::optional<JsonValue> document()
    {
        JsonValue value;
        if (!readValue(value, 0))
            return std::nullopt;
        skipSpace();
        if (i_ != s_.size())
            return std::nullopt;
        return value;
    }

private:
    static constexpr int MAX_DEPTH = 64;

    const std::string& s_;
    std::size_t i_ = 0;

    bool more() const { return i_ < s_.size(); }
    char peek() const { return more() ? s_[i_] : '\0'; }

    void skipSpace()
    {
        while (more() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }

    bool literal(const char* word, JsonValue& value, JsonValue::Type type)
    {
        const std::string w = word;
        if (s_.compare(i_, w.size(), w) != 0)
            return false;
        i_ += w.size();
        value.type = type;
        value.text = w;
        return true;
    }

    bool digits()
    {
        const std::size_t start = i_;
        while (more() && s_[i_] >= '0' && s_[i_] <= '9')
            ++i_;
        return i_ > start;
    }

    bool number(JsonValue& value)
    {
        const std::size_t start = i_;
        if (peek() == '-')
            ++i_;
        if (peek() == '0')
            ++i_;
        else if (!digits())
            return false;
        if (peek() == '.') {
            ++i_;
            if (!digits())
                return false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++i_;
            if (peek() == '+' || peek() == '-')
                ++i_;
            if (!digits())
                return false;
        }
        value.type = JsonValue::Type::number;
        value.text = s_.substr(start, i_ - start);
        return true;
    }

    static void appendUtf8(std::string& out, unsigned code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool hex4(unsigned& code)
    {
        code = 0;
        for (int k = 0; k < 4; ++k, ++i_) {
            const char c = peek();
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    // Surrogate pairs are not joined: the program never writes one.
    bool string(std::string& out)
    {
        if (peek() != '"')
            return false;
        ++i_;
        while (more()) {
            const auto c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const char e = peek();
            ++i_;
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned code = 0;
                if (!hex4(code))
                    return false;
                appendUtf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool readValue(JsonValue& value, int depth)
    {
        if (depth > MAX_DEPTH)
            return false;
        skipSpace();
        switch (peek()) {
        case '{':
            return object(value, depth);
        case '[':
            return array(value, depth);
        case '"':
            value.type = JsonValue::Type::string;
            return string(value.text);
        case 't':
            return literal("true", value, JsonValue::Type::boolean);
        case 'f':
            return literal("false", value, JsonValue::Type::boolean);
        case 'n':
            return literal("null", value, JsonValue::Type::null);
        default:
            return number(value);
        }
    }

    bool array(JsonValue& value, int depth)
    {
        value.type = JsonValue::Type::array;
        ++i_;
        skipSpace();
        if (peek() == ']') {
            ++i_;
            return true;
        }
        for (;;) {
            JsonValue item;
            if (!readValue(item, depth + 1))
                return false;
            value.items.push_back(std::move(item));
            skipSpace();
            if (peek() == ']') {
                ++i_;
                return true;
            }
            if (peek() != ',')
                return false;
            ++i_;
        }
    }

    bool object(JsonValue& value, int depth)
    {
        value.type = JsonValue::Type::object;
        ++i_;
        skipSpace();
        if (peek() == '}') {
            ++i_;
            return true;
        }
        for (;;) {
            skipSpace();
            std::string key;
            if (!string(key))
                return false;
            skipSpace();
            if (peek() != ':')
                return false;
            ++i_;
            JsonValue item;
            if (!readValue(item, depth + 1))
                return false;
            value.members.emplace_back(std::move(key), std::move(item));
            skipSpace();
            if (peek() == '}') {
                ++i_;
                return true;
            }
            if (peek() != ',')
                return false;
            ++i_;
        }
    }
};

} // namespace json_tree_detail

// The tree of `text`, or nothing when it is not exactly one JSON value.
inline std::optional<JsonValue> parseJson(const std::string& text)
{
    return json_tree_detail::Reader(text).document();
}
