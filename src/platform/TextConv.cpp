#include "platform/TextConv.h"

#include <windows.h>

namespace Vantor {
namespace {

std::string FromWide(UINT codePage, std::wstring_view text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring ToWide(UINT codePage, std::string_view text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int chars = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (chars <= 0)
        return {};
    std::wstring out(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, out.data(), chars);
    return out;
}

}  // namespace

std::string Utf16ToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }
std::wstring Utf8ToUtf16(std::string_view text) { return ToWide(CP_UTF8, text); }
std::string Utf16ToAnsi(std::wstring_view text) { return FromWide(CP_ACP, text); }
std::wstring AnsiToUtf16(std::string_view text) { return ToWide(CP_ACP, text); }

}  // namespace Vantor
