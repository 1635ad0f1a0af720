#pragma once
// The client area of a window as it is on the screen, saved as a PNG file.
#include <windows.h>

#include <string>

namespace PageHost {

// True when the file was written.
bool SaveWindowPng(HWND window, const std::wstring& path);

}  // namespace PageHost
