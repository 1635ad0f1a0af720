#include "platform/DeviceNames.h"

#include <cwctype>
#include <string>

namespace Vantor {

bool IsReservedDeviceName(std::wstring_view fileName)
{
    std::wstring stem(fileName.substr(0, fileName.find(L'.')));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(std::towupper(c));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" || stem == L"CONOUT$")
        return true;
    const auto isPortDigit = [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
    };
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           isPortDigit(stem[3]);
}

}  // namespace Vantor
