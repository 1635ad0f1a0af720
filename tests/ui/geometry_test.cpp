// Anchored layout and the base control's routing, on real host windows.
#include <gtest/gtest.h>

#include "RectCompare.h"
#include "ui/ControlBase.h"

namespace {

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

TEST(ComputeBounds, AnchorsOnEachAxis)
{
    const RECT host = Rect(0, 0, 300, 200);
    // No anchor: centred on both axes.
    EXPECT_EQ(ComputeAnchoredBounds(host, Rect(7, 7, 7, 7), 0, 80, 20), Rect(110, 90, 190, 110));
    // The explicit centring flags behave like no anchor on their axis.
    EXPECT_EQ(ComputeAnchoredBounds(host, Rect(0, 0, 0, 0), AnchorCenterH | AnchorCenterV, 80, 20),
              Rect(110, 90, 190, 110));
    // Top and centred horizontally, as the big add button is placed.
    EXPECT_EQ(ComputeAnchoredBounds(host, Rect(268, 228, 0, 0), AnchorTop | AnchorCenterH, 203, 51),
              Rect(48, 228, 251, 279));
    // Stretched on all four sides.
    EXPECT_EQ(ComputeAnchoredBounds(Rect(0, 0, 600, 500), Rect(6, 51, 6, 32), 15, 10, 10),
              Rect(6, 51, 594, 468));
    // Right and bottom.
    EXPECT_EQ(ComputeAnchoredBounds(Rect(0, 0, 400, 300), Rect(0, 0, 10, 10), AnchorRight | AnchorBottom, 72, 25),
              Rect(318, 265, 390, 290));
    // Top and left (the default) ignores the right and bottom margins.
    EXPECT_EQ(ComputeAnchoredBounds(host, Rect(6, 4, 99, 99), AnchorTop | AnchorLeft, 84, 24), Rect(6, 4, 90, 28));
}

TEST(ComputeBounds, OddSizesAndEmptyHosts)
{
    // Integer division rounds towards zero when centring an odd remainder.
    EXPECT_EQ(ComputeAnchoredBounds(Rect(0, 0, 101, 51), RECT{}, 0, 10, 10), Rect(45, 20, 55, 30));
    // A control larger than its host centres to a negative origin rather than failing.
    EXPECT_EQ(ComputeAnchoredBounds(Rect(0, 0, 10, 10), RECT{}, 0, 30, 30), Rect(-10, -10, 20, 20));
    // No host yet (empty client rectangle): stretched controls come out inverted, not crashing.
    EXPECT_EQ(ComputeAnchoredBounds(RECT{}, Rect(1, 57, 1, 1), 15, 0, 0), Rect(1, 57, -1, -1));
}

// A real top-level window with a client area of a given size.
class HostWindow {
public:
    HostWindow(int width, int height)
    {
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
        hwnd_ = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, r.right - r.left, r.bottom - r.top,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindow() { DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }
    void Resize(int width, int height) { SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE); }

private:
    HWND hwnd_;
};

// Records what the base routes to it.
class Probe : public ControlBase {
public:
    void OnLButtonDown(Vantor::UI::CMouseEventArgs& e) override { calls.push_back('D'); ControlBase::OnLButtonDown(e); }
    void OnLButtonUp(Vantor::UI::CMouseEventArgs& e) override { calls.push_back('U'); ControlBase::OnLButtonUp(e); }
    void OnMouseMove(Vantor::UI::CMouseEventArgs& e) override { calls.push_back('M'); ControlBase::OnMouseMove(e); }
    void ReleaseView() override { calls.push_back('R'); ControlBase::ReleaseView(); }
    void SetHover() { state_ |= StateHover; }
    std::string calls;
};

TEST(ControlTree, AttachTakesTheHostAndLayoutFollowsItsSize)
{
    HostWindow host(300, 200);
    ASSERT_TRUE(host.get());
    ControlBase root;
    root.SetHostWindow(host.get());
    Probe a, b;
    a.Attach(&root);
    b.Attach(&root);
    EXPECT_EQ(a.GetHwnd(), host.get());
    EXPECT_EQ(a.GetParent(), &root);
    ASSERT_EQ(root.GetChildren().size(), 2u);
    EXPECT_EQ(root.GetChildren()[0], &a);

    a.SetSize(80, 20);
    a.SetMargins(0, 0, 0, 0);
    a.SetAnchor(0);
    b.SetSize(72, 25);
    b.SetMargins(0, 0, 10, 10);
    b.SetAnchor(AnchorRight | AnchorBottom);
    root.LayoutChildren();
    EXPECT_EQ(a.GetBounds(), Rect(110, 90, 190, 110));
    EXPECT_EQ(b.GetBounds(), Rect(218, 165, 290, 190));

    host.Resize(400, 300);
    root.LayoutChildren();
    EXPECT_EQ(b.GetBounds(), Rect(318, 265, 390, 290));

    // A control with no host computes against an empty rectangle.
    ControlBase loose;
    RECT client{1, 2, 3, 4};
    loose.GetHostClientRect(&client);
    EXPECT_EQ(client, RECT{});
}

TEST(ControlTree, RoutesToEveryChildInOrderAndClearsHoverOnLeave)
{
    HostWindow host(100, 100);
    ControlBase root;
    root.SetHostWindow(host.get());
    Probe a, b;
    a.Attach(&root);
    b.Attach(&root);
    Vantor::UI::CMouseEventArgs e(0, 5, 5);
    root.OnLButtonDown(e);
    root.OnMouseMove(e);
    root.OnLButtonUp(e);
    root.ReleaseView();
    EXPECT_EQ(a.calls, "DMUR");
    EXPECT_EQ(b.calls, "DMUR");
    EXPECT_FALSE(e.handled);

    a.SetHover();
    root.OnMouseLeave();
    EXPECT_EQ(a.GetState() & StateHover, 0u);
}

}  // namespace
