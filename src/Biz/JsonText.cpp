#include "Biz/JsonText.h"

#include <json/reader.h>
#include <json/writer.h>

#include <memory>

namespace Vantor::JsonText {

// The classic reader and writer give exactly the texts pages have always received.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

bool Parse(std::string_view text, ::Json::Value& out)
{
    try {
        ::Json::Reader reader;
        return reader.parse(text.data(), text.data() + text.size(), out, true);
    } catch (...) {
        out = ::Json::Value();
        return false;
    }
}

namespace {

// The parser below takes a zero byte outside a string for the end of the text; JSON has no
// such byte anywhere but inside a string, so one elsewhere means more text follows.
bool HasZeroOutsideStrings(std::string_view text)
{
    enum class State { Text, String, Escape, LineComment, BlockComment } state = State::Text;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        switch (state) {
        case State::Text:
            if (c == '\0')
                return true;
            if (c == '"')
                state = State::String;
            else if (c == '/' && next == '/')
                state = State::LineComment, ++i;
            else if (c == '/' && next == '*')
                state = State::BlockComment, ++i;
            break;
        case State::String:
            if (c == '\\')
                state = State::Escape;
            else if (c == '"')
                state = State::Text;
            break;
        case State::Escape:
            state = State::String;
            break;
        case State::LineComment:
            if (c == '\n' || c == '\r')
                state = State::Text;
            else if (c == '\0')
                return true;
            break;
        case State::BlockComment:
            if (c == '*' && next == '/')
                state = State::Text, ++i;
            else if (c == '\0')
                return true;
            break;
        }
    }
    return false;
}

}  // namespace

bool ParseWhole(std::string_view text, ::Json::Value& out)
{
    if (HasZeroOutsideStrings(text))
        return false;
    try {
        // First the check that nothing follows the value, under the classic reader's rules
        // (comments allowed, any value at the top, no trailing commas, 1000 levels at most).
        ::Json::CharReaderBuilder builder;
        builder["collectComments"] = true;
        builder["allowComments"] = true;
        builder["allowTrailingCommas"] = false;
        builder["strictRoot"] = false;
        builder["allowDroppedNullPlaceholders"] = false;
        builder["allowNumericKeys"] = false;
        builder["allowSingleQuotes"] = false;
        builder["stackLimit"] = 1000;
        builder["failIfExtra"] = true;
        builder["rejectDupKeys"] = false;
        builder["allowSpecialFloats"] = false;
        builder["skipBom"] = false;
        const std::unique_ptr<::Json::CharReader> reader(builder.newCharReader());
        ::Json::Value checked;
        if (!reader->parse(text.data(), text.data() + text.size(), &checked, nullptr))
            return false;
        // The value itself comes from the classic reader, as every other text's does (the two
        // give large integers different types).
        return Parse(text, out);
    } catch (...) {
        return false;
    }
}

std::string WriteCompact(const ::Json::Value& value)
{
    ::Json::FastWriter writer;
    return writer.write(value);
}

#pragma GCC diagnostic pop

std::optional<std::string> AsText(const ::Json::Value& value)
{
    if (value.isArray() || value.isObject())
        return std::nullopt;
    try {
        return value.asString();
    } catch (...) {
        return std::nullopt;
    }
}

const ::Json::Value& Member(const ::Json::Value& object, const char* key)
{
    static const ::Json::Value null;
    if (!object.isObject())
        return null;
    const ::Json::Value* found = object.find(key, key + std::char_traits<char>::length(key));
    return found ? *found : null;
}

std::string ReadText(const ::Json::Value& object, const char* key, const std::string& fallback)
{
    if (!object.isObject() || !object.isMember(key))
        return fallback;
    return AsText(object[key]).value_or(fallback);
}

int32_t ReadInt(const ::Json::Value& object, const char* key, int32_t fallback)
{
    if (!object.isObject() || !object.isMember(key))
        return fallback;
    const ::Json::Value& value = object[key];
    if (!(value.isNumeric() || value.isBool() || value.isNull()))
        return fallback;
    try {
        return value.asInt();
    } catch (...) {
        return fallback;
    }
}

bool ReadBool(const ::Json::Value& object, const char* key, bool fallback)
{
    if (!object.isObject() || !object.isMember(key))
        return fallback;
    const ::Json::Value& value = object[key];
    if (!(value.isNumeric() || value.isBool() || value.isNull()))
        return fallback;
    try {
        return value.asBool();
    } catch (...) {
        return fallback;
    }
}

}  // namespace Vantor::JsonText
