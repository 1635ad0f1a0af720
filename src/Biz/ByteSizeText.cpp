#include "Biz/ByteSizeText.h"

#include <cwchar>

namespace Vantor {

std::wstring ByteSizeText(uint64_t bytes)
{
    wchar_t text[32];
    if (bytes < 1024) {
        std::swprintf(text, 32, L"%llu B", static_cast<unsigned long long>(bytes));
        return text;
    }
    static const wchar_t* const kUnits[] = {L"KB", L"MB", L"GB", L"TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    std::swprintf(text, 32, unit >= 2 ? L"%.2f %ls" : L"%.1f %ls", value, kUnits[unit]);
    return text;
}

}  // namespace Vantor
