#include "ui/UiText.h"

namespace Vantor::UI {

const wchar_t* Text(Language language, TextId id)
{
    const wchar_t* text = language == Language::En ? EnglishText(id) : ChineseText(id);
    return text ? text : L"";
}

std::wstring FormatText(Language language, TextId id, std::initializer_list<std::wstring> arguments)
{
    const std::wstring pattern = Text(language, id);
    std::wstring text;
    text.reserve(pattern.size() + 16);
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c != L'%' || i + 1 == pattern.size()) {
            text += c;
            continue;
        }
        const wchar_t next = pattern[i + 1];
        if (next == L'%') {
            text += L'%';
            ++i;
        } else if (next >= L'1' && next <= L'9') {
            const size_t index = static_cast<size_t>(next - L'1');
            if (index < arguments.size())
                text += *(arguments.begin() + index);
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace Vantor::UI
