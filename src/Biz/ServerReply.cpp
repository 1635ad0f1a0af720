#include "Biz/ServerReply.h"

#include "Biz/JsonText.h"

#include <optional>

namespace Vantor {
namespace {

std::optional<int32_t> SuccessValue(const ::Json::Value& root)
{
    if (root.isNull())
        return 0;
    if (!root.isObject())
        return std::nullopt;
    const ::Json::Value& success = JsonText::Member(root, "success");
    if (!(success.isNumeric() || success.isBool() || success.isNull()))
        return std::nullopt;
    try {
        return success.asInt();
    } catch (...) {
        return std::nullopt;  // a number outside 32 bits
    }
}

}  // namespace

bool JudgeReply(std::string_view reply, ::Json::Value& stored)
{
    ::Json::Value parsed;
    if (!JsonText::ParseWhole(reply, parsed))
        return false;
    stored = parsed;
    const auto value = SuccessValue(parsed);
    return value && *value == 1;
}

}  // namespace Vantor
