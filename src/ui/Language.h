#pragma once
// The language of the words a control shows and speaks. Chinese (simplified) is the default;
// a page asks for English with "Language": "en" in its "init".
#include <string_view>

namespace Vantor::UI {

enum class Language { ZhCN, En };

// "en", "EN", "en-US", "en_GB"... are English; "zh-CN", an unknown tag or none is Chinese.
Language ParseLanguage(std::string_view tag);

}  // namespace Vantor::UI
