// Times the edit window on one photo and measures the memory it holds:
//   editor_bench PHOTO ROUNDS
// Prints "name value" lines (times in milliseconds, best of the rounds; memory in MiB above
// what the process held before the picture was decoded):
//   decode_ms        the reference for opening: decoding the photo alone
//   open_ms          the edit window from its start until the picture shows on its canvas
//   open_peak_mib    the most held while it opened
//   picture_mib      the reference for memory: one whole picture held as the editor holds it
//   rotate_ms ... actual_pixels_ms   each edit or view change on the canvas, view refresh included
//   full_adjust_ms   the reference for a slider step: the adjustment on the whole picture
//   slider_first_ms, slider_step_ms  one step while dragging (the first makes the visible copy)
//   edit_peak_mib    the most held while editing
//   ok_ms            OK: the result kept by the item as a lossless file and a new thumbnail
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "../BenchClock.h"
#include "Biz/ImageData.h"
#include "editor/ImageEditForm.h"
#include "editor/ImageEditor.h"
#include "image/GdiplusBridge.h"
#include "image/GdiplusLease.h"
#include "picker/ListView.h"
#include "picker/ListViewPostItem.h"
#include "picker/ListViewItem.h"
#include "platform/Window.h"
#include "ui/FormBase.h"
#include "ui/ImageLister.h"

using namespace Vantor;

namespace {

size_t MemoryNow()
{
    PROCESS_MEMORY_COUNTERS counters{sizeof(counters)};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

// Samples the process's memory every millisecond and keeps the most seen since the last reset.
class PeakSampler {
public:
    PeakSampler()
        : thread_([this] {
              while (!stop_) {
                  const size_t now = MemoryNow();
                  size_t seen = peak_.load();
                  while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
                  }
                  Sleep(1);
              }
          })
    {
    }
    ~PeakSampler()
    {
        stop_ = true;
        thread_.join();
    }
    void Reset() { peak_ = MemoryNow(); }
    size_t Peak() const { return std::max(peak_.load(), MemoryNow()); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<size_t> peak_{0};
    std::thread thread_;
};

double MiB(size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class HostWindow : public Win::Window {
public:
    HostWindow(int width, int height)
    {
        CreateWindowOfClass(nullptr, RECT{20, 20, 20 + width, 20 + height}, L"editor bench", WS_POPUP);
        ShowWindow(hwnd(), SW_SHOWNA);
    }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Bench.Host"; }
};

double Best(int rounds, const std::function<double()>& once)
{
    double best = 1e30;
    for (int i = 0; i < rounds; ++i)
        best = std::min(best, once());
    return best;
}

void Print(const char* name, double value) { std::printf("%s %.2f\n", name, value); }

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: editor_bench PHOTO ROUNDS\n");
        return 1;
    }
    const int rounds = std::max(1, _wtoi(argv[2]));
    const GdiplusLease gdiplus = GdiplusLease::Acquire();
    const UI::SkinLease skins = UI::ImageLister::Acquire();
    PeakSampler sampler;

    HostWindow host(820, 620);
    ListView list{&ListViewPostItem::Make};
    list.Create(host.hwnd(), 0, 0, 800, 600);
    list.AddFiles({argv[1]});
    const double waitEnd = bench::NowMs() + 60000;
    while (bench::NowMs() < waitEnd && !(list.Count() == 1 && list.Items().front()->editReady)) {
        Pump();
        Sleep(5);
    }
    if (list.Count() != 1 || !list.Items().front()->editReady) {
        std::fprintf(stderr, "the photo did not load\n");
        return 1;
    }
    ListViewItem& item = *list.Items().front();
    const std::shared_ptr<ImageData> record = item.Record();
    const size_t base = MemoryNow();

    // References: decoding alone, and one whole picture held as the editor holds it.
    Print("decode_ms", Best(rounds, [&] {
              const double start = bench::NowMs();
              std::shared_ptr<Gdiplus::Bitmap> picture = record->Picture();
              return picture ? bench::NowMs() - start : 1e30;
          }));
    size_t pictureBytes = 0;
    {
        std::shared_ptr<Gdiplus::Bitmap> picture = record->Picture();
        const size_t before = MemoryNow();
        std::unique_ptr<CxImage> image = CxImageFromBitmap(*picture);
        pictureBytes = MemoryNow() - before;
    }
    Print("picture_mib", MiB(pictureBytes));

    // Opening the window until the picture shows on its canvas.
    size_t openPeak = 0;
    Print("open_ms", Best(rounds, [&] {
              ImageEditForm form(list, item.Id());
              double start = 0, shown = 0;
              form.PictureShown.connect([&] {
                  shown = bench::NowMs();
                  PostMessageW(form.hwnd(), WM_COMMAND, IDCANCEL, 0);
              });
              sampler.Reset();
              start = bench::NowMs();
              form.Run(host.hwnd());
              openPeak = std::max(openPeak, sampler.Peak() - base);
              return shown > 0 ? shown - start : 1e30;
          }));
    Print("open_peak_mib", MiB(openPeak));

    // The edits on a canvas of the window's size.
    FormBase root;
    root.AttachWindow(host.hwnd(), 0, 0, 820, 620);
    ImageEditor canvas;
    canvas.SetMargins(0, 0, 820 - 700, 620 - 500);
    canvas.SetAnchor(AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
    canvas.Create(&root);
    canvas.Layout();
    {
        std::shared_ptr<Gdiplus::Bitmap> picture = record->Picture();
        canvas.SetImage(CxImageFromBitmap(*picture));
    }
    canvas.FitToCanvas();
    Pump();
    sampler.Reset();
    const auto timed = [&](const std::function<void()>& work) {
        const double start = bench::NowMs();
        work();
        UpdateWindow(canvas.hwnd());
        return bench::NowMs() - start;
    };
    Print("rotate_ms", Best(rounds, [&] {
              const double t = timed([&] { canvas.RotateRight(); });
              canvas.Undo();
              return t;
          }));
    Print("undo_ms", Best(rounds, [&] {
              canvas.RotateRight();
              return timed([&] { canvas.Undo(); });
          }));
    Print("crop_ms", Best(rounds, [&] {
              canvas.SetCropMode(true);
              const RECT shown = canvas.Placement().ShownRect();
              const auto mouse = [&](UINT message, int x, int y) {
                  SendMessageW(canvas.hwnd(), message, MK_LBUTTON, MAKELPARAM(x, y));
              };
              mouse(WM_LBUTTONDOWN, shown.left + 50, shown.top + 40);
              mouse(WM_MOUSEMOVE, shown.left + 350, shown.top + 300);
              mouse(WM_LBUTTONUP, shown.left + 350, shown.top + 300);
              const double t = timed([&] { canvas.CropToSelection(); });
              canvas.SetCropMode(false);
              canvas.Undo();
              return t;
          }));
    Print("resize_ms", Best(rounds, [&] {
              const double t = timed([&] { canvas.ResizeTo(2000, 1500); });
              canvas.Undo();
              return t;
          }));
    Print("adjust_ms", Best(rounds, [&] {
              const double t = timed([&] { canvas.SetAdjustments(Adjustments{30, 20, 0}); });
              canvas.Undo();
              return t;
          }));
    Print("revert_ms", Best(rounds, [&] {
              canvas.RotateLeft();
              return timed([&] { canvas.Revert(); });
          }));
    Print("actual_pixels_ms", Best(rounds, [&] { return timed([&] { canvas.ActualPixels(); }); }));
    Print("fit_ms", Best(rounds, [&] { return timed([&] { canvas.FitToCanvas(); }); }));

    // A slider drag: the first step makes the visible copy, the later ones adjust it.
    Print("full_adjust_ms", Best(rounds, [&] {
              const double start = bench::NowMs();
              CxImage copy(*canvas.Edit().Result());
              ApplyAdjustments(copy, Adjustments{30, 20, 0});
              return bench::NowMs() - start;
          }));
    double first = 1e30, step = 1e30;
    for (int r = 0; r < rounds; ++r) {
        canvas.SetAdjustments(Adjustments{});  // drops the visible copy
        first = std::min(first, timed([&] { canvas.PreviewAdjustments(Adjustments{1, 0, 0}); }));
        const int steps = 30;
        const double start = bench::NowMs();
        for (int b = 2; b < 2 + steps; ++b)
            canvas.PreviewAdjustments(Adjustments{b * 3, b, 0});
        step = std::min(step, (bench::NowMs() - start) / steps);
    }
    canvas.SetAdjustments(Adjustments{90, 30, 0});
    Print("slider_first_ms", first);
    Print("slider_step_ms", step);
    Print("edit_peak_mib", MiB(sampler.Peak() - base));

    // OK: the result handed to the item, kept as a lossless file with a new thumbnail.
    Print("ok_ms", Best(rounds, [&] {
              const double start = bench::NowMs();
              std::unique_ptr<Gdiplus::Bitmap> bitmap = BitmapKeepingAlpha(*canvas.Edit().Result());
              const bool kept = bitmap && record->SetEditedImage(bitmap.get(), 148, 120);
              return kept ? bench::NowMs() - start : 1e30;
          }));
    return 0;
}
