#pragma once
// Lines to the host's standard output and error streams, written as UTF-8 bytes.
#include "platform/TextConv.h"

#include <windows.h>

#include <string>

namespace PageHost {

inline void WriteLine(DWORD stream, const std::wstring& text)
{
    const std::string bytes = Vantor::Utf16ToUtf8(text) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

inline void Print(const std::wstring& text) { WriteLine(STD_OUTPUT_HANDLE, text); }
inline void PrintError(const std::wstring& text) { WriteLine(STD_ERROR_HANDLE, L"pagehost: " + text); }

}  // namespace PageHost
