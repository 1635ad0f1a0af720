// The upload list's painting and memory with many items: a real list window holding one
// upload item per file of a folder, thumbnails made as the product makes them.
//
//   list_bench FOLDER ROUNDS
//
// Prints
//   "memory LABEL ITEMS COMMITTED_MIB ADDRESS_MIB"  before adding and with every thumbnail made;
//   "paint full MS", "paint hover MS"               medians of ROUNDS repaints of the whole
//                                                   client area and of one cell's hover change;
//   "paint reference MS"                            a window of the same size that only copies
//                                                   a back buffer of that size to the screen,
//                                                   the floor any flicker-free paint pays.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "picker/CombinBitmap.h"
#include "picker/ListView.h"
#include "platform/Handles.h"
#include "platform/Window.h"

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 700;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Committed private memory and all address space in use, in MiB, from a walk of the address
// space (Wine reports no private usage figure).
void PrintMemory(const char* label, int items)
{
    size_t committed = 0, used = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (auto* address = static_cast<uint8_t*>(nullptr); VirtualQuery(address, &info, sizeof info) == sizeof info;
         address = static_cast<uint8_t*>(info.BaseAddress) + info.RegionSize) {
        if (info.State != MEM_FREE)
            used += info.RegionSize;
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            committed += info.RegionSize;
        if (static_cast<uint8_t*>(info.BaseAddress) + info.RegionSize < address)
            break;
    }
    std::printf("memory %s %d %.2f %.2f\n", label, items, committed / 1048576.0, used / 1048576.0);
    std::fflush(stdout);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    return true;
}

class HostWindow : public Vantor::Win::Window {
public:
    HostWindow() { CreateWindowOfClass(nullptr, RECT{20, 20, 20 + kWidth, 20 + kHeight}, L"list bench", WS_POPUP); }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Bench.Host"; }
};

// The reference: a window that paints by copying a back buffer of its size.
class CopyWindow : public Vantor::Win::Window {
public:
    CopyWindow()
    {
        CreateWindowOfClass(nullptr, RECT{20, 20, 20 + kWidth, 20 + kHeight}, L"copy bench", WS_POPUP);
        const HDC screen = GetDC(hwnd());
        dc_.reset(CreateCompatibleDC(screen));
        bitmap_.reset(CreateCompatibleBitmap(screen, kWidth, kHeight));
        ReleaseDC(hwnd(), screen);
        SelectObject(dc_.get(), bitmap_.get());
    }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Bench.Copy"; }
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg != WM_PAINT)
            return false;
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd(), &paint);
        PatBlt(dc_.get(), 0, 0, kWidth, kHeight, WHITENESS);
        BitBlt(dc, 0, 0, kWidth, kHeight, dc_.get(), 0, 0, SRCCOPY);
        EndPaint(hwnd(), &paint);
        result = 0;
        return true;
    }

private:
    Vantor::UniqueMemoryDC dc_;
    Vantor::GdiObject<HBITMAP> bitmap_;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double TimeRepaint(HWND hwnd, const RECT* area, int rounds, const std::function<void(int)>& before = {})
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        if (before)
            before(i);
        const double start = Now();
        RedrawWindow(hwnd, area, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        times.push_back((Now() - start) * 1000.0);
        Pump();
    }
    return Median(times);
}

int Run(const std::wstring& folder, int rounds)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"\\*.jpg").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            files.push_back(folder + L"\\" + found.cFileName);
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (files.empty()) {
        std::fprintf(stderr, "no pictures in the folder\n");
        return 2;
    }
    std::sort(files.begin(), files.end());

    Vantor::CombinBitmap::Instance().Fill();
    HostWindow host;
    ShowWindow(host.hwnd(), SW_SHOWNA);
    PrintMemory("empty", 0);
    {
        Vantor::ListView list;
        list.Create(host.hwnd(), 0, 0, kWidth, kHeight);
        list.SetItemWidth(150);
        list.SetItemHeight(151);
        int loaded = 0;
        list.ThumbnailsLoaded.connect([&loaded] { ++loaded; });
        const double start = Now();
        list.AddFiles(files, Vantor::AddLimits{});
        if (!PumpUntil([&] { return loaded > 0 && !list.IsLoadingThumbnails(); }, 600000)) {
            std::fprintf(stderr, "the thumbnails did not finish\n");
            return 1;
        }
        std::printf("loaded %d %.3f\n", list.Count(), Now() - start);
        PrintMemory("loaded", list.Count());

        // The middle of the list, where every visible cell holds a picture.
        list.ScrollTo(list.MaxScroll() / 2);
        Pump();
        std::printf("paint full %.3f\n", TimeRepaint(list.hwnd(), nullptr, rounds));

        // Hover moving between two neighbouring cells: each move repaints the two cells.
        const int step = list.Geometry().itemWidth + list.Geometry().horizontalGap;
        const int y = list.Geometry().margins.top + 40;
        list.ScrollTo(0);
        Pump();
        std::vector<double> hover;
        for (int i = 0; i < rounds; ++i) {
            const int x = list.Geometry().margins.left + 40 + (i % 2) * step;
            const double begin = Now();
            SendMessageW(list.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
            UpdateWindow(list.hwnd());
            hover.push_back((Now() - begin) * 1000.0);
            Pump();
        }
        std::printf("paint hover %.3f\n", Median(hover));
    }
    CopyWindow copy;
    ShowWindow(copy.hwnd(), SW_SHOWNA);
    Pump();
    std::printf("paint reference %.3f\n", TimeRepaint(copy.hwnd(), nullptr, rounds));
    std::fflush(stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: list_bench FOLDER ROUNDS\n");
        return 2;
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 1;
    int rc = 1;
    try {
        rc = Run(argv[1], _wtoi(argv[2]));
    } catch (...) {
        std::fprintf(stderr, "unexpected failure\n");
    }
    Gdiplus::GdiplusShutdown(token);
    return rc;
}
