#include "Biz/JsonText.h"

#include <json/reader.h>
#include <json/writer.h>

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
