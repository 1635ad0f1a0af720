#pragma once
// Reading page messages and writing outgoing ones with JsonCpp. Every reader here is
// forgiving: a member of the wrong type counts as missing, and nothing throws.
#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Vantor::JsonText {

// Parses with comments allowed and any value as root. False on any syntax error or
// nesting too deep; never throws.
bool Parse(std::string_view text, ::Json::Value& out);

// The same, but the text must hold nothing after its value except white space and comments:
// "{...} <b>Fatal error</b>" is not a JSON text.
bool ParseWhole(std::string_view text, ::Json::Value& out);

// Compact one-line form: no blanks, members in byte order of their keys, and a line feed.
std::string WriteCompact(const ::Json::Value& value);

// A value as text: a string itself, null "", booleans "true"/"false", integers their digits,
// reals JsonCpp's 17-digit text. Arrays and objects have no text.
std::optional<std::string> AsText(const ::Json::Value& value);

// Members of an object with defaults. A non-object, a missing member or a member that
// cannot be converted gives the default.
std::string ReadText(const ::Json::Value& object, const char* key, const std::string& fallback = {});
// Integers, reals within 32 bits (truncated toward zero), booleans (1, 0) and null (0).
int32_t ReadInt(const ::Json::Value& object, const char* key, int32_t fallback);
// Booleans, numbers (non-zero is true) and null (false).
bool ReadBool(const ::Json::Value& object, const char* key, bool fallback);
// The member when present and not null, or null.
const ::Json::Value& Member(const ::Json::Value& object, const char* key);

}  // namespace Vantor::JsonText
