// An upload list in a window of its own, for the drag screen test: it holds the pictures
// named on its command line and writes what a user's drag changed to the log.
//
//   dnd_showcase.exe LOG PICTURE...
//
// Lines: "ready X Y" (the list's top-left corner on the screen) once shown, "thumbs" when
// every thumbnail is made, "order NAME..." (the file names in display order) at the start
// and after every change. The program ends when the file LOG.quit appears, or on WM_CLOSE.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <ole2.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Biz/ImageData.h"
#include "picker/ListView.h"
#include "picker/ListViewPostItem.h"
#include "platform/TextConv.h"
#include "platform/Window.h"
#include "ui/ImageLister.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr UINT_PTR kPollTimer = 1;

FILE* g_log = nullptr;

void Log(const std::wstring& line)
{
    if (!g_log)
        return;
    std::fputs(Vantor::Utf16ToUtf8(line).c_str(), g_log);
    std::fputs("\n", g_log);
    std::fflush(g_log);
}

class ShowcaseWindow : public Vantor::Win::Window {
public:
    explicit ShowcaseWindow(std::wstring quitFile) : quitFile_(std::move(quitFile)) {}
    Vantor::ListView list{&Vantor::ListViewPostItem::Make};

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Test.DragShowcase"; }
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        switch (msg) {
        case WM_TIMER:
            if (wParam == kPollTimer)
                Poll();
            return true;
        case WM_CLOSE:
            DestroyWindow(hwnd());
            return true;
        case WM_DESTROY:
            PostQuitMessage(0);
            return true;
        default:
            return false;
        }
    }

private:
    void Poll()
    {
        std::wstring order = L"order";
        for (const auto& item : list.Items())
            order += L" " + std::wstring(PathFindFileNameW(item->Record()->path().c_str()));
        if (order != lastOrder_) {
            Log(order);
            lastOrder_ = order;
        }
        if (!thumbsLogged_ && !list.IsLoadingThumbnails()) {
            bool all = true;
            for (const auto& item : list.Items())
                all = all && item->Record()->thumbnailState() != Vantor::ImageData::ThumbnailState::Pending;
            if (all) {
                Log(L"thumbs");
                thumbsLogged_ = true;
            }
        }
        if (PathFileExistsW(quitFile_.c_str()))
            DestroyWindow(hwnd());
    }

    std::wstring quitFile_;
    std::wstring lastOrder_;
    bool thumbsLogged_ = false;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3)
        return 2;
    g_log = _wfopen(argv[1], L"w");
    if (!g_log || FAILED(OleInitialize(nullptr)))
        return 3;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    int code = 0;
    {
        const Vantor::UI::SkinLease skins = Vantor::UI::ImageLister::Acquire();
        ShowcaseWindow window(std::wstring(argv[1]) + L".quit");
        const RECT place{0, 0, kWidth, kHeight};
        if (!window.CreateWindowOfClass(nullptr, place, L"Fotoloft drag showcase", WS_POPUP | WS_VISIBLE))
            return 4;
        window.list.Create(window.hwnd(), 0, 0, kWidth, kHeight);
        window.list.SetItemWidth(150);
        window.list.SetItemHeight(151);
        window.list.Arrange();
        std::vector<std::wstring> pictures(argv + 2, argv + argc);
        window.list.AddFiles(pictures);
        SetTimer(window.hwnd(), kPollTimer, 50, nullptr);
        POINT origin{0, 0};
        ClientToScreen(window.list.hwnd(), &origin);
        Log(L"ready " + std::to_wstring(origin.x) + L" " + std::to_wstring(origin.y));
        code = Vantor::Win::RunMessageLoop();
    }
    Gdiplus::GdiplusShutdown(token);
    OleUninitialize();
    LocalFree(argv);
    std::fclose(g_log);
    return code;
}
