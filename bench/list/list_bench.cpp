// The upload list under load, in a real list window:
//
//   list_bench.exe repaint FOLDER   1,000 items (FOLDER holds small.jpg and 1,000 links to it):
//                                   full repaint, scroll, one-cell hover repaint, each from
//                                   kept cells and drawn anew; memory per item
//   list_bench.exe adds FOLDER      the page's burst: one "addFile" per .jpg of FOLDER, posted
//                                   to the window thread as fast as a page sends them, then as
//                                   many again of files already there (a sixth of them): each
//                                   call laid out on its own (AddFiles) and the burst laid out
//                                   once (AddFilesSoon), alternately in one run
//   list_bench.exe load FOLDER [THREADS]
//                                   every .jpg of FOLDER added at once: time until the last
//                                   thumbnail, and the longest time the window thread did not
//                                   answer a message posted every 10 ms; THREADS loader
//                                   threads (one per core when absent)
//
// Prints "name value" lines for bench.py.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "picker/ListView.h"
#include "picker/ListViewPostItem.h"
#include "platform/Window.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

class Host : public Vantor::Win::Window {
public:
    Host()
    {
        RECT r{0, 0, 802, 502};
        CreateWindowOfClass(nullptr, r, L"list bench", WS_POPUP | WS_VISIBLE);
    }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Bench.Host"; }
};

// The least a paint of such a window costs: a child window of the list's size whose paint
// copies ready pixels (the list's own client area as last shown) to the screen, painted the
// same way the list is.
class BareCopy : public Vantor::Win::Window {
public:
    BareCopy(HWND parent, HWND source, int width, int height) : width_(width), height_(height)
    {
        const HDC screen = GetDC(source);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, width, height);
        old_ = SelectObject(dc_, bitmap_);
        BitBlt(dc_, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ReleaseDC(source, screen);
        RECT r{1, 1, 1 + width, 1 + height};
        CreateWindowOfClass(parent, r, L"", WS_CHILD | WS_VISIBLE);
    }
    ~BareCopy() override
    {
        Destroy();
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Bench.BareCopy"; }
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_ERASEBKGND) {
            result = 1;
            return true;
        }
        if (msg != WM_PAINT)
            return false;
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd(), &paint);
        BitBlt(dc, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
        EndPaint(hwnd(), &paint);
        return true;
    }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<std::wstring> Files(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        files.push_back(folder + L"\\" + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

double CommittedMiB()
{
    PROCESS_MEMORY_COUNTERS counters{sizeof(counters)};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage / 1048576.0;
}

bool WaitLoaded(Vantor::ListView& list, bool& loaded, int seconds)
{
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!loaded && Clock::now() < end) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return loaded;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

int Repaint(const std::wstring& folder)
{
    Host host;
    Vantor::ListView list{&Vantor::ListViewPostItem::Make};
    list.Create(host.hwnd(), 1, 1, 800, 500);
    list.SetItemWidth(150);
    list.SetItemHeight(151);
    list.Arrange();
    bool loaded = false;
    list.ThumbnailsLoaded.connect([&] { loaded = true; });
    const std::vector<std::wstring> links = Files(folder, L"link*.jpg");
    Pump();
    const double before = CommittedMiB();
    list.AddFiles(links, Vantor::AddLimits{});
    if (!WaitLoaded(list, loaded, 600)) {
        std::printf("error thumbnails did not load\n");
        return 1;
    }
    Pump();
    const double after = CommittedMiB();
    std::printf("items %d\n", list.Count());
    std::printf("memory_per_item_mib %.4f\n", (after - before) / std::max(1, list.Count()));

    // Kept cells and cells drawn anew, in alternate rounds of the same run. Each round scrolls
    // between the top and the middle (both places painted once before: the kept cells of both
    // fit the cache) and then repaints the whole window with nothing changed.
    std::vector<double> full, fullFresh, scroll, scrollFresh, hover, hoverFresh;
    const auto centre = [&](int index) {
        const RECT r = list.Items()[index]->GetRect();
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2 - list.ScrollPos());
    };
    for (int round = 0; round < 40; ++round) {
        const bool keep = round % 2 == 1;  // the last round keeps its cells, for the count below
        list.SetCellCache(keep);
        for (const int at : {40 * 183, 0}) {  // the cells of both places, once
            list.ScrollTo(at);
            Pump();
            UpdateWindow(list.hwnd());
        }
        for (int i = 0; i < 4; ++i) {
            auto start = Clock::now();
            list.ScrollTo(i % 2 ? 0 : 40 * 183);
            UpdateWindow(list.hwnd());
            GdiFlush();
            (keep ? scroll : scrollFresh).push_back(Ms(Clock::now() - start));
            start = Clock::now();
            RedrawWindow(list.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            GdiFlush();
            (keep ? full : fullFresh).push_back(Ms(Clock::now() - start));
        }
        for (int i = 0; i < 4; ++i) {
            const auto start = Clock::now();
            SendMessageW(list.hwnd(), WM_MOUSEMOVE, 0, centre(i % 2));
            UpdateWindow(list.hwnd());
            GdiFlush();
            (keep ? hover : hoverFresh).push_back(Ms(Clock::now() - start));
        }
        Pump();
    }
    std::printf("full_repaint_ms %.3f\n", Median(full));
    std::printf("full_repaint_fresh_ms %.3f\n", Median(fullFresh));
    std::printf("scroll_repaint_ms %.3f\n", Median(scroll));
    std::printf("scroll_repaint_fresh_ms %.3f\n", Median(scrollFresh));
    std::printf("hover_repaint_ms %.3f\n", Median(hover));
    std::printf("hover_repaint_fresh_ms %.3f\n", Median(hoverFresh));
    std::printf("kept_cells %zu\n", list.Cells().Size());

    // The reference, in the same run: the pixels the list shows now, copied by a window of
    // the same size that does nothing else, repainted the same way.
    std::vector<double> reference;
    {
        BareCopy bare(host.hwnd(), list.hwnd(), 800, 500);
        Pump();
        for (int i = 0; i < 80; ++i) {
            const auto start = Clock::now();
            RedrawWindow(bare.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            GdiFlush();
            reference.push_back(Ms(Clock::now() - start));
        }
    }
    std::printf("reference_blit_ms %.3f\n", Median(reference));
    return 0;
}

constexpr UINT kPing = WM_APP + 7;
constexpr UINT kAddFile = WM_APP + 8;  // one "addFile" of the page: lParam indexes the photos

int Load(const std::wstring& folder)
{
    Host host;
    Vantor::ListView list{&Vantor::ListViewPostItem::Make};
    list.Create(host.hwnd(), 1, 1, 800, 500);
    list.SetItemWidth(150);
    list.SetItemHeight(151);
    list.Arrange();
    bool loaded = false;
    list.ThumbnailsLoaded.connect([&] { loaded = true; });
    const std::vector<std::wstring> photos = Files(folder, L"*.jpg");
    Pump();

    // A page that sends the control a message every 10 ms; the window thread notes how late each
    // one is answered.
    std::atomic<bool> stop{false};
    std::atomic<bool> pinging{false};
    std::atomic<int64_t> worst{0};
    const DWORD windowThread = GetCurrentThreadId();
    std::thread page([&] {
        while (!stop) {
            if (!pinging) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const int64_t sent = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
            PostThreadMessageW(windowThread, kPing, 0, static_cast<LPARAM>(sent & 0x7FFFFFFF));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto start = Clock::now();
    double addMs = 0;  // the longest single add
    const auto answer = [&](const MSG& msg) {
        const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
        const int64_t late = (now & 0x7FFFFFFF) - msg.lParam;
        if (late > worst && late < 0x40000000)
            worst = late;
    };
    const auto pump = [&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == kPing && !msg.hwnd) {
                answer(msg);
                continue;
            }
            if (msg.message == kAddFile && !msg.hwnd) {
                const auto before = Clock::now();
                list.AddFiles({photos[static_cast<size_t>(msg.lParam)]}, Vantor::AddLimits{});
                addMs = std::max(addMs, Ms(Clock::now() - before));
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    };
    // The page's "addFile" messages, one per photo, as fast as it can send them; then, while the
    // thumbnails load, its message every 10 ms.
    for (size_t i = 0; i < photos.size(); ++i)
        PostThreadMessageW(windowThread, kAddFile, 0, static_cast<LPARAM>(i));
    pump();
    const double addAllMs = Ms(Clock::now() - start);
    // Scrolled to the end, as a user checking the last pictures would.
    list.ScrollTo(list.MaxScroll());
    worst = 0;
    pinging = true;
    const auto end = Clock::now() + std::chrono::seconds(1200);
    while (!loaded && Clock::now() < end) {
        pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    const double total = Ms(Clock::now() - start);
    stop = true;
    page.join();
    if (!loaded) {
        std::printf("error thumbnails did not load\n");
        return 1;
    }
    std::printf("photos %zu\n", photos.size());
    std::printf("threads %u\n", Vantor::ThumbnailLoader::ThreadCount());
    std::printf("longest_add_ms %.2f\n", addMs);
    std::printf("all_adds_ms %.1f\n", addAllMs);
    std::printf("all_thumbnails_ms %.1f\n", total);
    std::printf("longest_silence_ms %.1f\n", worst / 1000.0);
    return 0;
}

}  // namespace

struct BurstTimes {
    double perCallMs = 0;   // mean over the burst
    double longestMs = 0;   // the slowest call
    double shownMs = 0;     // from the first call until the list is laid out and painted
    double refusedMs = 0;   // mean over the adds of files already there
};

// One burst into a new list. `coalesced`: AddFilesSoon, else AddFiles for each call.
BurstTimes Burst(const std::vector<std::wstring>& files, bool coalesced)
{
    Host host;
    Vantor::ListView list{&Vantor::ListViewPostItem::Make};
    list.Create(host.hwnd(), 1, 1, 800, 500);
    list.SetItemWidth(150);
    list.SetItemHeight(151);
    list.Arrange();
    // What the main panel does after each addition the list shows.
    int shown = 0;
    list.FilesDropped.connect([&] {
        ++shown;
        list.Arrange();
        list.UpdateScrollBar();
        InvalidateRect(list.hwnd(), nullptr, FALSE);
    });
    Pump();
    const DWORD windowThread = GetCurrentThreadId();
    BurstTimes times;
    double sum = 0;
    int calls = 0;
    const auto pumpAdds = [&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == kAddFile && !msg.hwnd) {
                const auto before = Clock::now();
                const std::vector<std::wstring> one{files[static_cast<size_t>(msg.lParam)]};
                if (coalesced)
                    list.AddFilesSoon(one, Vantor::AddLimits{});
                else
                    list.AddFiles(one, Vantor::AddLimits{});
                const double ms = Ms(Clock::now() - before);
                sum += ms;
                ++calls;
                times.longestMs = std::max(times.longestMs, ms);
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    };
    for (size_t i = 0; i < files.size(); ++i)
        PostThreadMessageW(windowThread, kAddFile, 0, static_cast<LPARAM>(i));
    const auto start = Clock::now();
    pumpAdds();
    UpdateWindow(list.hwnd());
    GdiFlush();
    times.shownMs = Ms(Clock::now() - start);
    times.perCallMs = sum / std::max(1, calls);
    if (list.Count() != static_cast<int>(files.size()) || shown == 0)
        std::printf("error the burst lost files (%d of %zu) or was never shown\n", list.Count(), files.size());
    sum = 0;
    calls = 0;
    const size_t refused = files.size() / 6;
    for (size_t i = 0; i < refused; ++i)
        PostThreadMessageW(windowThread, kAddFile, 0, static_cast<LPARAM>(i * 6));
    pumpAdds();
    times.refusedMs = sum / std::max(1, calls);
    list.StopThumbnailLoading();
    return times;
}

int Adds(const std::wstring& folder)
{
    const std::vector<std::wstring> files = Files(folder, L"*.jpg");
    // One loader thread: the other core stays for the window thread, in both ways alike.
    Vantor::ThumbnailLoader::SetThreadCount(1);
    std::vector<BurstTimes> single, once;
    for (int round = 0; round < 2; ++round) {
        single.push_back(Burst(files, false));
        once.push_back(Burst(files, true));
    }
    const auto best = [](const std::vector<BurstTimes>& runs, double BurstTimes::*field) {
        double v = runs[0].*field;
        for (const auto& r : runs)
            v = std::min(v, r.*field);
        return v;
    };
    std::printf("files %zu\n", files.size());
    for (const auto& [name, runs] : {std::pair{"single", &single}, std::pair{"once", &once}}) {
        std::printf("%s_per_call_ms %.4f\n", name, best(*runs, &BurstTimes::perCallMs));
        std::printf("%s_longest_ms %.3f\n", name, best(*runs, &BurstTimes::longestMs));
        std::printf("%s_shown_ms %.1f\n", name, best(*runs, &BurstTimes::shownMs));
        std::printf("%s_refused_ms %.4f\n", name, best(*runs, &BurstTimes::refusedMs));
    }
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int rc = 2;
    try {
        const std::wstring mode = argv[1];
        if (mode == L"repaint")
            rc = Repaint(argv[2]);
        else if (mode == L"adds")
            rc = Adds(argv[2]);
        else if (mode == L"load") {
            if (argc >= 4)
                Vantor::ThumbnailLoader::SetThreadCount(static_cast<unsigned>(_wtoi(argv[3])));
            rc = Load(argv[2]);
        }
    } catch (...) {
        std::printf("error exception\n");
        rc = 1;
    }
    std::fflush(stdout);
    Gdiplus::GdiplusShutdown(token);
    return rc;
}
