#pragma once
// Whether the server accepted a file, judged from its reply body alone: a JSON value whose
// member "success" converts to exactly 1. The HTTP status plays no part.
#include <json/value.h>

#include <string_view>

namespace Vantor {

// When the reply parses (comments allowed, any value at the top, nothing but white space and
// comments after the value), stored receives the parsed
// value whatever it holds; otherwise stored is left as it was. "success" converts from null
// or missing (0), integers within 32 bits, reals within 32 bits truncated toward zero, and
// booleans; anything else, and a top-level value that is not an object, is a failure.
bool JudgeReply(std::string_view reply, ::Json::Value& stored);

}  // namespace Vantor
