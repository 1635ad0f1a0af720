// The add-images dialog on a folder of large photos, in a real modal dialog:
//
//   picker_bench.exe FOLDER    the dialog opens on an empty folder; then FOLDER is selected in
//                              the tree. Measured: the time from the selection until the
//                              thumbnails of the first screen show and until all of them show,
//                              the longest time the window thread did not answer a message
//                              posted every 10 ms, and the memory above the empty dialog.
//                              The reference, measured in the same run: a few of the photos
//                              decoded whole on the window thread (what the picker once did
//                              for every picture of a folder), time and memory per photo.
//
// Prints "name value" lines for bench.py.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <psapi.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Biz/ImageData.h"
#include "picker/FileAddDialog.h"
#include "picker/FolderPath.h"
#include "platform/Window.h"

namespace {

using Clock = std::chrono::steady_clock;
using Vantor::ListView;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double CommittedMiB()
{
    PROCESS_MEMORY_COUNTERS counters{sizeof(counters)};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage / 1048576.0;
}

void PumpFor(int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
}

// A window of the window thread that notes how late the page's messages are answered.
class Listener : public Vantor::Win::Window {
public:
    static constexpr UINT kPing = WM_APP + 7;
    Listener() { CreateWindowOfClass(HWND_MESSAGE, RECT{}, L"", 0); }
    std::atomic<int64_t> worst{0};

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Bench.Listener"; }
    bool HandleMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) override
    {
        if (msg != kPing)
            return false;
        const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
        const int64_t late = (now & 0x7FFFFFFF) - lParam;
        if (late > worst && late < 0x40000000)
            worst = late;
        result = 0;
        return true;
    }
};

class Host : public Vantor::Win::Window {
public:
    Host() { CreateWindowOfClass(nullptr, RECT{0, 0, 1000, 700}, L"picker bench", WS_POPUP | WS_VISIBLE); }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Bench.Host"; }
};

struct Results {
    bool done = false;
    bool loaded = false;
    int photos = 0;
    int firstScreen = 0;
    double listMs = 0, firstScreenMs = 0, allMs = 0, silenceMs = 0;
    double emptyMiB = 0, peakMiB = 0;
};

struct Run {
    std::wstring folder;
    Vantor::CFileAddDialog* dialog = nullptr;
    Listener* listener = nullptr;
    Results results;
};
Run* g_run = nullptr;

bool Ready(const Vantor::ListViewItem& item)
{
    return item.Record() && item.Record()->thumbnailState() != Vantor::ImageData::ThumbnailState::Pending;
}

// What the user sees: a thumbnail, or the EXIF preview standing in for it.
bool Shown(const Vantor::ListViewItem& item)
{
    return Ready(item) || (item.Record() && item.Record()->thumbnail());
}

// Expands the tree from My Computer down to the folder, as the user does; the folder's node.
HTREEITEM ExpandTo(Vantor::CFileAddDialog& dialog, const std::wstring& path)
{
    const HWND tree = dialog.Tree();
    HTREEITEM at = dialog.ComputerNode();
    while (at && !Vantor::IsSameFolder(dialog.PathOf(at), path)) {
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(at));
        HTREEITEM next = nullptr;
        for (HTREEITEM child = TreeView_GetChild(tree, at); child; child = TreeView_GetNextSibling(tree, child)) {
            const std::wstring childPath = dialog.PathOf(child);
            if (!childPath.empty() && Vantor::IsFolderWithin(path, childPath))
                next = child;
        }
        at = next;
    }
    return at;
}

void Measure(Run& run)
{
    Vantor::CFileAddDialog& dialog = *run.dialog;
    Results& r = run.results;
    bool loaded = false;
    dialog.Picker().ThumbnailsLoaded.connect([&] { loaded = true; });
    PumpFor(300);
    r.emptyMiB = CommittedMiB();
    r.peakMiB = r.emptyMiB;

    std::atomic<bool> stop{false};
    const HWND listener = run.listener->hwnd();
    std::thread page([&] {
        while (!stop) {
            const int64_t sent = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
            PostMessageW(listener, Listener::kPing, 0, static_cast<LPARAM>(sent & 0x7FFFFFFF));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const HTREEITEM node = ExpandTo(dialog, run.folder);
    PumpFor(100);
    run.listener->worst = 0;
    if (!node) {
        stop = true;
        page.join();
        return;
    }
    // The user clicks the folder.
    const auto start = Clock::now();
    TreeView_SelectItem(dialog.Tree(), node);
    const auto deadline = start + std::chrono::seconds(600);
    bool screenShown = false;
    ListView& picker = dialog.Picker();
    const auto allReady = [&](int first, int end) {
        for (int i = first; i < end; ++i)
            if (!Ready(*picker.Items()[i]))
                return false;
        return true;
    };
    const auto allShown = [&](int first, int end) {
        for (int i = first; i < end; ++i)
            if (!Shown(*picker.Items()[i]))
                return false;
        return true;
    };
    while (Clock::now() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (r.listMs == 0 && !dialog.IsListing())
            r.listMs = Ms(Clock::now() - start);
        int first = 0, end = 0;
        picker.Geometry().VisibleRange(picker.Count(), picker.Columns(), picker.ScrollPos(), picker.ClientHeight(),
                                       first, end);
        if (!screenShown && end > first && (end - first >= 12 || !dialog.IsListing()) && allShown(first, end)) {
            screenShown = true;
            r.firstScreen = end - first;
            r.firstScreenMs = Ms(Clock::now() - start);
        }
        r.peakMiB = std::max(r.peakMiB, CommittedMiB());
        if (!dialog.IsListing() && loaded && allReady(0, picker.Count()))
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
    r.photos = picker.Count();
    r.allMs = Ms(Clock::now() - start);
    r.loaded = loaded && !dialog.IsListing() && allReady(0, picker.Count());
    PumpFor(50);
    stop = true;
    page.join();
    r.silenceMs = run.listener->worst / 1000.0;
    r.done = true;
    dialog.OnCancel();
}

void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!g_run || !g_run->dialog->hwnd() || !IsWindowVisible(g_run->dialog->hwnd()))
        return;
    KillTimer(nullptr, id);
    Measure(*g_run);
}

// The reference: photos decoded whole and held, as the picker once did on the window thread.
void Reference(const std::wstring& folder, int count)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"\\*.jpg").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            files.push_back(folder + L"\\" + data.cFileName);
        } while (files.size() < static_cast<size_t>(count) && FindNextFileW(find, &data));
        FindClose(find);
    }
    const double before = CommittedMiB();
    std::vector<std::unique_ptr<Gdiplus::Bitmap>> held;
    const auto start = Clock::now();
    for (const auto& file : files) {
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(file.c_str());
        Gdiplus::Color pixel;
        bitmap->GetPixel(0, 0, &pixel);  // the picture is there
        held.push_back(std::move(bitmap));
    }
    const double ms = Ms(Clock::now() - start);
    const double mib = CommittedMiB() - before;
    std::printf("reference_photos %zu\n", files.size());
    std::printf("reference_decode_ms %.1f\n", files.empty() ? 0.0 : ms / files.size());
    std::printf("reference_mib %.1f\n", files.empty() ? 0.0 : mib / files.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int rc = 1;
    try {
        Run run;
        run.folder = argv[1];
        // "no-previews": EXIF previews do not stand in while the pictures decode.
        if (argc >= 3 && std::wstring(argv[2]) == L"no-previews")
            Vantor::ThumbnailLoader::UseEmbeddedPreviews(false);
        {
            Host host;
            Listener listener;
            Vantor::CFileAddDialog dialog;
            run.dialog = &dialog;
            run.listener = &listener;
            g_run = &run;
            const UINT_PTR timer = SetTimer(nullptr, 0, 20, &StepTimer);
            dialog.DoModal(host.hwnd());
            KillTimer(nullptr, timer);
            g_run = nullptr;
        }
        const Results& r = run.results;
        if (!r.done || !r.loaded || r.photos == 0) {
            std::printf("error the folder did not load (%d photos)\n", r.photos);
        } else {
            std::printf("photos %d\n", r.photos);
            std::printf("first_screen_items %d\n", r.firstScreen);
            std::printf("threads %u\n", Vantor::ThumbnailLoader::ThreadCount());
            std::printf("previews %d\n", Vantor::ThumbnailLoader::UsesEmbeddedPreviews() ? 1 : 0);
            std::printf("listing_ms %.1f\n", r.listMs);
            std::printf("first_screen_ms %.1f\n", r.firstScreenMs);
            std::printf("all_thumbnails_ms %.1f\n", r.allMs);
            std::printf("longest_silence_ms %.1f\n", r.silenceMs);
            std::printf("memory_above_empty_mib %.1f\n", r.peakMiB - r.emptyMiB);
            Reference(run.folder, 3);
            rc = 0;
        }
    } catch (...) {
        std::printf("error exception\n");
    }
    std::fflush(stdout);
    Gdiplus::GdiplusShutdown(token);
    return rc;
}
