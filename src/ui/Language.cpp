#include "ui/Language.h"

namespace Vantor::UI {

Language ParseLanguage(std::string_view tag)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (tag.size() < 2 || lower(tag[0]) != 'e' || lower(tag[1]) != 'n')
        return Language::ZhCN;
    // "en" alone or followed by a region ("en-US", "en_GB"); "eng" or "enx" is not English.
    if (tag.size() == 2 || tag[2] == '-' || tag[2] == '_')
        return Language::En;
    return Language::ZhCN;
}

}  // namespace Vantor::UI
