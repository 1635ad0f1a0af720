#pragma once
// Text conversions between the page's UTF-16, JSON's UTF-8 and the system ANSI code page.
#include <string>
#include <string_view>

namespace Vantor {

// Invalid UTF-16 (a lone surrogate) becomes U+FFFD; never throws.
std::string Utf16ToUtf8(std::wstring_view text);
// Invalid UTF-8 becomes U+FFFD; never throws.
std::wstring Utf8ToUtf16(std::string_view text);
// Characters outside the ANSI code page become the code page's default character.
std::string Utf16ToAnsi(std::wstring_view text);
std::wstring AnsiToUtf16(std::string_view text);

}  // namespace Vantor
