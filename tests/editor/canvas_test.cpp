// The canvas in a real window. The selection is drawn with the mouse messages the window
// receives; what gets cropped is compared with the picture's own pixels at the selection.
#include <gtest/gtest.h>

#include "HostWindow.h"
#include "editor/CanvasPlacement.h"
#include "editor/ImageEditor.h"
#include "editor/RectTracker.h"
#include "test_pictures.h"
#include "ui/FormBase.h"

using Vantor::CanvasPlacement;
using Vantor::CxImage;
using Vantor::ImageEditor;
using Vantor::RectTracker;
using testpics::Make24;
using testpics::Pattern;
using testpics::TopDown;

namespace {

// A bare root control for the canvas to attach to, on a host window of the given size.
class CanvasHost {
public:
    CanvasHost(int width, int height) : window_(width, height)
    {
        root_.AttachWindow(window_.get(), 0, 0, width, height);
        canvas_.SetMargins(0, 0, 0, 0);
        canvas_.SetAnchor(AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
        canvas_.Create(&root_);
        canvas_.Layout();
        ShowWindow(window_.get(), SW_SHOWNA);
    }
    ImageEditor& canvas() { return canvas_; }
    HWND hwnd() const { return canvas_.hwnd(); }
    void Mouse(UINT message, POINT at, WPARAM keys = 0)
    {
        SendMessageW(hwnd(), message, keys, MAKELPARAM(at.x, at.y));
    }
    // A selection drawn with the button held, from one point to another.
    void Drag(POINT from, POINT to)
    {
        Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
        Mouse(WM_MOUSEMOVE, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2}, MK_LBUTTON);
        Mouse(WM_MOUSEMOVE, to, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, to);
    }

private:
    TestHostWindow window_;
    FormBase root_;
    ImageEditor canvas_;
};

bool ScrollBarEnabled(HWND hwnd, int bar)
{
    SCROLLBARINFO info{sizeof(info)};
    if (!GetScrollBarInfo(hwnd, bar == SB_HORZ ? OBJID_HSCROLL : OBJID_VSCROLL, &info))
        return false;
    return (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) == 0;
}

}  // namespace

TEST(CanvasPlacement, OneConversionForPaintingAndCropping)
{
    // An odd difference between canvas and picture: the picture sits at (C - P) / 2, and a
    // selection from its corner covers the pixels from 0.
    CanvasPlacement p{SIZE{400, 301}, SIZE{151, 100}, 1.0, POINT{}};
    EXPECT_EQ(p.Offset().x, (400 - 151) / 2);
    EXPECT_EQ(p.Offset().y, (301 - 100) / 2);
    const RECT shown = p.ShownRect();
    const RECT whole = p.ToPicture(shown);
    EXPECT_EQ(whole.left, 0);
    EXPECT_EQ(whole.top, 0);
    EXPECT_EQ(whole.right, 151);
    EXPECT_EQ(whole.bottom, 100);
    const RECT part{shown.left + 7, shown.top + 3, shown.left + 107, shown.top + 53};
    const RECT inPicture = p.ToPicture(part);
    EXPECT_EQ(inPicture.left, 7);
    EXPECT_EQ(inPicture.right - inPicture.left, 100);
    EXPECT_EQ(inPicture.bottom - inPicture.top, 50);
    // Round trip at a scale, and scrolling of a larger picture.
    CanvasPlacement fitted{SIZE{400, 300}, SIZE{1200, 900}, CanvasPlacement::FitScale({1200, 900}, {400, 300}),
                           POINT{}};
    EXPECT_DOUBLE_EQ(fitted.scale, 1.0 / 3.0);
    const RECT r{30, 60, 330, 210};
    const RECT back = fitted.ToPicture(fitted.ToCanvas(r));
    EXPECT_TRUE(EqualRect(&back, &r));
    CanvasPlacement scrolled{SIZE{400, 300}, SIZE{1000, 300}, 1.0, POINT{250, 0}};
    EXPECT_EQ(scrolled.Offset().x, -250);
    EXPECT_EQ(scrolled.MaxScroll().x, 600);
    EXPECT_EQ(scrolled.ToPicture(RECT{0, 0, 10, 10}).left, 250);
}

TEST(ImageEditor, SelectionOfAHundredByFiftyCropsAHundredByFifty)
{
    CanvasHost host(400, 300);
    const CxImage source = Make24(201, 151, Pattern, true);
    ASSERT_TRUE(host.canvas().SetImage(std::make_unique<CxImage>(source)));
    host.canvas().SetCropMode(true);
    std::wstring shownWidth, shownHeight;
    host.canvas().CropSizeChanged.connect([&](const std::wstring& w, const std::wstring& h) {
        shownWidth = w;
        shownHeight = h;
    });
    const POINT origin = host.canvas().Placement().Offset();
    host.Drag(POINT{origin.x + 30, origin.y + 20}, POINT{origin.x + 130, origin.y + 70});
    EXPECT_EQ(shownWidth, L"100");
    EXPECT_EQ(shownHeight, L"50");
    ASSERT_TRUE(host.canvas().CropToSelection());
    const CxImage& result = *host.canvas().Edit().Result();
    ASSERT_EQ(result.GetWidth(), 100u);
    ASSERT_EQ(result.GetHeight(), 50u);
    for (uint32_t y : {0u, 49u})
        for (uint32_t x : {0u, 99u}) {
            const RGBQUAD want = TopDown(source, x + 30, y + 20), got = TopDown(result, x, y);
            EXPECT_EQ(got.rgbRed, want.rgbRed) << x << "," << y;
            EXPECT_EQ(got.rgbGreen, want.rgbGreen) << x << "," << y;
            EXPECT_EQ(got.rgbReserved, want.rgbReserved) << x << "," << y;
        }
    EXPECT_TRUE(host.canvas().Tracker().IsEmpty());

    // Outside crop mode the mouse draws nothing.
    host.canvas().SetCropMode(false);
    host.Drag(POINT{origin.x + 5, origin.y + 5}, POINT{origin.x + 60, origin.y + 40});
    EXPECT_TRUE(host.canvas().Tracker().IsEmpty());
}

TEST(ImageEditor, FittingOnlyScalesTheViewAndCropsAtFullResolution)
{
    CanvasHost host(400, 300);
    const CxImage source = Make24(1200, 900, Pattern, false);
    ASSERT_TRUE(host.canvas().SetImage(std::make_unique<CxImage>(source)));
    host.canvas().FitToCanvas();
    RECT client{};
    GetClientRect(host.hwnd(), &client);
    const CanvasPlacement& placement = host.canvas().Placement();
    EXPECT_LT(placement.scale, 1.0);
    EXPECT_LE(placement.Shown().cx, client.right);
    EXPECT_LE(placement.Shown().cy, client.bottom);
    EXPECT_EQ(host.canvas().PictureSize().cx, 1200);  // the picture itself is untouched
    EXPECT_FALSE(host.canvas().Edit().IsChanged());

    host.canvas().SetCropMode(true);
    const RECT shown = placement.ShownRect();
    host.Drag(POINT{shown.left + 10, shown.top + 10}, POINT{shown.left + 110, shown.top + 60});
    const RECT selection = host.canvas().SelectionInPicture();
    ASSERT_TRUE(host.canvas().CropToSelection());
    const CxImage& result = *host.canvas().Edit().Result();
    EXPECT_EQ(static_cast<LONG>(result.GetWidth()), selection.right - selection.left);
    EXPECT_GT(result.GetWidth(), 250u);  // a hundred shown pixels are about three hundred real ones
    const RGBQUAD want = TopDown(source, selection.left, selection.top), got = TopDown(result, 0, 0);
    EXPECT_EQ(got.rgbRed, want.rgbRed);
    EXPECT_EQ(got.rgbBlue, want.rgbBlue);
}

TEST(ImageEditor, TheSelectionStaysOnItsPartOfThePictureWhenTheCanvasChangesSize)
{
    // Fitted: a larger canvas shows the picture larger and elsewhere; the selection follows.
    CanvasHost host(400, 300);
    ASSERT_TRUE(host.canvas().SetImage(std::make_unique<CxImage>(Make24(1200, 900, Pattern, false))));
    host.canvas().FitToCanvas();
    host.canvas().SetCropMode(true);
    const RECT shown = host.canvas().Placement().ShownRect();
    host.Drag(POINT{shown.left + 40, shown.top + 30}, POINT{shown.left + 140, shown.top + 90});
    const RECT before = host.canvas().SelectionInPicture();
    ASSERT_FALSE(IsRectEmpty(&before));
    for (const SIZE size : {SIZE{700, 560}, SIZE{333, 251}, SIZE{400, 300}}) {
        MoveWindow(host.hwnd(), 0, 0, size.cx, size.cy, TRUE);
        const RECT after = host.canvas().SelectionInPicture();
        // One conversion back and forth at the new scale: within a pixel of the picture's scale.
        const LONG slack = static_cast<LONG>(1.0 / host.canvas().Placement().scale) + 1;
        EXPECT_NEAR(after.left, before.left, slack) << size.cx;
        EXPECT_NEAR(after.top, before.top, slack) << size.cx;
        EXPECT_NEAR(after.right, before.right, slack) << size.cx;
        EXPECT_NEAR(after.bottom, before.bottom, slack) << size.cx;
        // On screen it covers that part of the picture where the picture now shows.
        const RECT onCanvas = host.canvas().Placement().ToCanvas(before);
        const RECT tracker = host.canvas().Tracker().Normalized();
        EXPECT_NEAR(tracker.left, onCanvas.left, 1) << size.cx;
        EXPECT_NEAR(tracker.bottom, onCanvas.bottom, 1) << size.cx;
    }

    // At actual pixels the canvas scrolls: the selection scrolls with the picture and the crop
    // takes the same pixels.
    host.canvas().ActualPixels();
    host.Drag(POINT{100, 80}, POINT{200, 130});
    const RECT drawn = host.canvas().SelectionInPicture();
    SendMessageW(host.hwnd(), WM_HSCROLL, SB_PAGEDOWN, 0);
    SendMessageW(host.hwnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    const RECT scrolled = host.canvas().SelectionInPicture();
    EXPECT_TRUE(EqualRect(&scrolled, &drawn));
    EXPECT_EQ(host.canvas().Tracker().Normalized().left, 100 - host.canvas().Placement().scroll.x);
    MoveWindow(host.hwnd(), 0, 0, 500, 350, TRUE);
    ASSERT_TRUE(host.canvas().CropToSelection());
    EXPECT_EQ(static_cast<LONG>(host.canvas().Edit().Result()->GetWidth()), drawn.right - drawn.left);
    EXPECT_EQ(static_cast<LONG>(host.canvas().Edit().Result()->GetHeight()), drawn.bottom - drawn.top);
}

TEST(ImageEditor, TurnRefreshesSizeAndScrollBars)
{
    CanvasHost host(400, 300);
    ASSERT_TRUE(host.canvas().SetImage(std::make_unique<CxImage>(Make24(700, 120, Pattern, false))));
    host.canvas().ActualPixels();
    EXPECT_TRUE(ScrollBarEnabled(host.hwnd(), SB_HORZ));
    EXPECT_FALSE(ScrollBarEnabled(host.hwnd(), SB_VERT));
    int changes = 0;
    host.canvas().PictureChanged.connect([&] { ++changes; });
    ASSERT_TRUE(host.canvas().RotateLeft());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(host.canvas().PictureSize().cx, 120);
    EXPECT_EQ(host.canvas().Placement().picture.cy, 700);
    EXPECT_FALSE(ScrollBarEnabled(host.hwnd(), SB_HORZ));
    EXPECT_TRUE(ScrollBarEnabled(host.hwnd(), SB_VERT));
    const RECT bounds = host.canvas().Tracker().Bounds();
    EXPECT_EQ(bounds.right - bounds.left, 120);

    // Ctrl+Z at the canvas undoes the turn.
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(host.hwnd(), WM_KEYDOWN, 'Z', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(host.canvas().PictureSize().cx, 700);
    EXPECT_TRUE(ScrollBarEnabled(host.hwnd(), SB_HORZ));
}

class TrackerLoop : public ::testing::Test {
protected:
    TrackerLoop() : window_(300, 200)
    {
        ShowWindow(window_.get(), SW_SHOWNA);
        tracker_.SetBounds(RECT{0, 0, 300, 200});
        tracker_.SetRect(RECT{50, 50, 150, 100});
        tracker_.Changed = [this](const RECT&) { ++changes_; };
        Drain();
    }
    ~TrackerLoop() override { Drain(); }
    // Handles what is waiting (painting included, which a bare removal would never end).
    static void Drain()
    {
        MSG msg;
        for (int i = 0; i < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
            DispatchMessageW(&msg);
    }
    void Post(UINT message, int x, int y) { PostMessageW(window_.get(), message, 0, MAKELPARAM(x, y)); }

    TestHostWindow window_;
    RectTracker tracker_;
    int changes_ = 0;
};

TEST_F(TrackerLoop, DraggingAHandleMovesItsEdgesUntilRelease)
{
    // The bottom-right handle sits just outside the corner.
    const int h = tracker_.HandleSize();
    ASSERT_EQ(tracker_.HitTest(POINT{150 + h / 2, 100 + h / 2}), 2);
    ASSERT_EQ(tracker_.HitTest(POINT{100, 75}), RectTracker::kMoveHit);
    Post(WM_MOUSEMOVE, 170 + h / 2, 110 + h / 2);
    Post(WM_LBUTTONUP, 180 + h / 2, 120 + h / 2);
    EXPECT_TRUE(tracker_.Track(window_.get(), POINT{150 + h / 2, 100 + h / 2}, true));
    const RECT r = tracker_.Rect();
    EXPECT_EQ(r.right, 180);
    EXPECT_EQ(r.bottom, 120);
    EXPECT_EQ(r.left, 50);
    EXPECT_GE(changes_, 2);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(TrackerLoop, EscapeRestoresTheRectangle)
{
    Post(WM_MOUSEMOVE, 130, 95);
    PostMessageW(window_.get(), WM_KEYDOWN, VK_ESCAPE, 0);
    Post(WM_LBUTTONUP, 130, 95);
    EXPECT_FALSE(tracker_.Track(window_.get(), POINT{100, 75}, true));
    const RECT r = tracker_.Rect();
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 50);
}

TEST_F(TrackerLoop, QuitIsPostedAgainAndEndsTheLoop)
{
    Post(WM_MOUSEMOVE, 120, 80);
    PostQuitMessage(7);
    EXPECT_FALSE(tracker_.Track(window_.get(), POINT{100, 75}, true));
    EXPECT_EQ(tracker_.Rect().left, 50);  // restored
    EXPECT_EQ(GetCapture(), nullptr);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(TrackerLoop, LosingTheCaptureEndsTheLoop)
{
    // Something run during the drag takes the capture away (another window, a message box):
    // here the first move's notification does it.
    TestHostWindow other(50, 50);
    ShowWindow(other.get(), SW_SHOWNA);
    bool stolen = false;
    tracker_.Changed = [&](const RECT&) {
        if (!stolen) {
            stolen = true;
            SetCapture(other.get());
        }
    };
    Post(WM_MOUSEMOVE, 110, 80);
    Post(WM_MOUSEMOVE, 120, 85);  // never read: the loop has ended
    EXPECT_FALSE(tracker_.Track(window_.get(), POINT{100, 75}, true));
    EXPECT_TRUE(stolen);
    EXPECT_EQ(tracker_.Rect().left, 50);
    EXPECT_EQ(GetCapture(), other.get());
    ReleaseCapture();
}
