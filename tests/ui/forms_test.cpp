// Forms: mouse routing with capture, dragging by empty areas, maximising, the back buffer,
// the chrome, and the message dialog run modally.
#include <gtest/gtest.h>

#include <string>

#include "Canvas.h"
#include "RectCompare.h"
#include "platform/Window.h"
#include "ui/Button.h"
#include "ui/ExtForm.h"
#include "ui/ImageLister.h"
#include "ui/MessageDialog.h"
#include "ui/SkinTable.h"

using namespace Vantor::UI;
using namespace Vantor::UI::Controls;

namespace {

// Counts what the form routes to it.
class Probe : public ControlBase {
public:
    void OnMouseMove(CMouseEventArgs& e) override { ++moves; }
    int moves = 0;
};

class TestForm : public Vantor::Win::Window, public ExtForm {
public:
    explicit TestForm(DWORD style = WS_POPUP) { CreateWindowOfClass(nullptr, RECT{50, 50, 350, 250}, L"form", style); }
    void Paint(CPaintEventArgs& e) override
    {
        ExtForm::Paint(e);
        ControlBase::Paint(e);
    }
    LRESULT Send(UINT msg, int x, int y, WPARAM keys = 0)
    {
        return SendMessageW(hwnd(), msg, keys, MAKELPARAM(x, y));
    }
    RECT WindowRect() const
    {
        RECT r{};
        GetWindowRect(hwnd(), &r);
        return r;
    }

    Button button;
    Probe probe;
    int clicks = 0;

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Test.Form"; }
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_CREATE) {  // as every form does: the controls exist before the first WM_SIZE
            AttachWindow(hwnd(), 0, 0, 300, 200);
            button.Create(this, L"OK");
            button.SetSize(60, 24);
            button.SetMargins(10, 50, 0, 0);
            probe.Attach(this);
            button.Click.connect([this] { ++clicks; });
            return false;
        }
        return ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
    }
};

class Forms : public ::testing::Test {
protected:
    static void SetUpTestSuite() { skins = ImageLister::Acquire(); }
    static void TearDownTestSuite() { skins.reset(); }
    static SkinLease skins;
};

SkinLease Forms::skins;

TEST_F(Forms, PressedControlGetsTheMovesAndTheRelease)
{
    TestForm form;
    ASSERT_TRUE(form.hwnd());
    EXPECT_EQ(form.button.GetBounds(), (RECT{10, 50, 70, 74}));

    form.Send(WM_MOUSEMOVE, 150, 150);
    EXPECT_EQ(form.probe.moves, 1);
    EXPECT_TRUE(form.IsMouseTracked());
    form.Send(WM_MOUSEMOVE, 151, 150);
    EXPECT_TRUE(form.IsMouseTracked()) << "armed once until the mouse leaves";

    form.Send(WM_LBUTTONDOWN, 20, 60, MK_LBUTTON);
    EXPECT_EQ(form.GetCapturedControl(), &form.button);
    EXPECT_EQ(GetCapture(), form.hwnd());
    EXPECT_FALSE(form.IsDragging());
    form.Send(WM_MOUSEMOVE, 200, 180, MK_LBUTTON);
    EXPECT_EQ(form.probe.moves, 2) << "moves during a press go to the pressed control only";
    form.Send(WM_LBUTTONUP, 200, 180);
    EXPECT_EQ(form.clicks, 0);
    EXPECT_EQ(form.GetCapturedControl(), nullptr);
    EXPECT_EQ(form.button.GetState(), 0u);
    EXPECT_NE(GetCapture(), form.hwnd());

    form.Send(WM_LBUTTONDOWN, 20, 60, MK_LBUTTON);
    form.Send(WM_LBUTTONUP, 21, 61);
    EXPECT_EQ(form.clicks, 1);

    SendMessageW(form.hwnd(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(form.IsMouseTracked());
    EXPECT_EQ(form.button.GetState() & StateHover, 0u);

    // Capture taken away mid-press: the press is dropped without a click.
    form.Send(WM_LBUTTONDOWN, 20, 60, MK_LBUTTON);
    SendMessageW(form.hwnd(), WM_CAPTURECHANGED, 0, 0);
    EXPECT_EQ(form.GetCapturedControl(), nullptr);
    EXPECT_EQ(form.button.GetState(), 0u);
    form.Send(WM_LBUTTONUP, 20, 60);
    EXPECT_EQ(form.clicks, 1);
}

TEST_F(Forms, DraggingEmptyAreasMovesTheWindow)
{
    TestForm form;
    const RECT start = form.WindowRect();
    // A press on the button does not drag.
    form.Send(WM_LBUTTONDOWN, 20, 60, MK_LBUTTON);
    form.Send(WM_MOUSEMOVE, 40, 90, MK_LBUTTON);
    form.Send(WM_LBUTTONUP, 40, 90);
    EXPECT_EQ(form.WindowRect(), start);

    // A press on the footer band does.
    form.Send(WM_LBUTTONDOWN, 150, 180, MK_LBUTTON);
    EXPECT_TRUE(form.IsDragging());
    form.Send(WM_MOUSEMOVE, 170, 190, MK_LBUTTON);  // +20, +10
    const RECT moved = form.WindowRect();
    EXPECT_EQ(moved.left, start.left + 20);
    EXPECT_EQ(moved.top, start.top + 10);
    // The next client point is relative to the moved window: same cursor, no further move.
    form.Send(WM_MOUSEMOVE, 150, 180, MK_LBUTTON);
    EXPECT_EQ(form.WindowRect(), moved);
    form.Send(WM_LBUTTONUP, 150, 180);
    EXPECT_FALSE(form.IsDragging());
    EXPECT_EQ(form.clicks, 0);
}

TEST_F(Forms, MaximisedFormsDoNotDrag)
{
    TestForm form;
    form.ToggleMaximize();
    EXPECT_TRUE(form.IsMaximized());
    EXPECT_FALSE(form.IsDraggable());
    EXPECT_FALSE(form.IsResizable());
    RECT client{};
    GetClientRect(form.hwnd(), &client);
    EXPECT_EQ(client.right, GetSystemMetrics(SM_CXSCREEN));
    const RECT maximised = form.WindowRect();
    form.Send(WM_LBUTTONDOWN, 150, 100, MK_LBUTTON);
    EXPECT_FALSE(form.IsDragging());
    form.Send(WM_MOUSEMOVE, 190, 140, MK_LBUTTON);
    form.Send(WM_LBUTTONUP, 190, 140);
    EXPECT_EQ(form.WindowRect(), maximised);

    form.ToggleMaximize();
    EXPECT_FALSE(form.IsMaximized());
    EXPECT_TRUE(form.IsDraggable());
    form.Send(WM_LBUTTONDOWN, 150, 100, MK_LBUTTON);
    EXPECT_TRUE(form.IsDragging());
    form.Send(WM_LBUTTONUP, 150, 100);
    ShowWindow(form.hwnd(), SW_HIDE);
}

TEST_F(Forms, BackBufferFollowsTheSize)
{
    TestForm form;
    const HBITMAP first = form.GetBackBuffer();
    ASSERT_TRUE(first);
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(first, sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 300);
    EXPECT_EQ(info.bmHeight, 200);

    SetWindowPos(form.hwnd(), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    const HBITMAP empty = form.GetBackBuffer();
    EXPECT_EQ(GetObjectType(first), 0u) << "the previous buffer was deleted";
    SetWindowPos(form.hwnd(), nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    EXPECT_EQ(GetObjectType(empty), 0u);
    ASSERT_TRUE(GetObjectW(form.GetBackBuffer(), sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 320);
    EXPECT_EQ(form.GetBounds(), (RECT{0, 0, 320, 240}));
    const HBITMAP last = form.GetBackBuffer();
    DestroyWindow(form.hwnd());
    EXPECT_EQ(GetObjectType(last), 0u) << "WM_DESTROY deletes the buffer";
}

TEST_F(Forms, ChromeColours)
{
    TestForm form;
    form.SetTitle(L"\u6D4B\u8BD5\u7A97\u53E3");
    form.SetIconName("IcoInfo");
    wchar_t text[32]{};
    GetWindowTextW(form.hwnd(), text, 32);
    EXPECT_STREQ(text, L"\u6D4B\u8BD5\u7A97\u53E3");
    form.button.SetVisible(0);
    Canvas c(300, 200);
    CPaintEventArgs e(c.dc(), nullptr, nullptr);
    form.Paint(e);
    EXPECT_EQ(c.At(0, 0), RGB(216, 216, 216));      // border
    EXPECT_EQ(c.At(299, 199), RGB(216, 216, 216));
    EXPECT_EQ(c.At(150, 100), RGB(255, 255, 255));  // body
    EXPECT_EQ(c.At(150, 180), RGB(243, 243, 243));  // footer band
    EXPECT_EQ(c.At(150, 163), RGB(243, 243, 243));
    EXPECT_EQ(c.At(150, 33), RGB(166, 197, 225));  // the title band's bottom line
    EXPECT_NE(c.At(150, 10), RGB(255, 255, 255));   // the band itself
    EXPECT_GT(c.CountOtherThan(RECT{6, 6, 22, 22}, c.At(150, 14)), 30) << "the icon at (6, 6)";
    EXPECT_LT(c.Darkest(RECT{26, 7, 120, 25}), 140) << "the title text";
}

// Presses a key once the dialog is up, and notes the title it showed.
class ScriptedMessageDialog : public CMessageDialog {
public:
    explicit ScriptedMessageDialog(UINT key, POINT click = POINT{-1, -1}, bool question = true)
        : key_(key), click_(click)
    {
        SetQuestion(question);
    }
    std::wstring shownTitle;
    SIZE shownSize{};

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        const bool handled = CMessageDialog::HandleMessage(msg, wParam, lParam, result);
        if (msg == WM_INITDIALOG) {
            wchar_t text[64]{};
            GetWindowTextW(hwnd(), text, 64);
            shownTitle = text;
            RECT r{};
            GetWindowRect(hwnd(), &r);
            shownSize = SIZE{r.right - r.left, r.bottom - r.top};
            if (key_) {
                PostMessageW(hwnd(), WM_KEYDOWN, key_, 0);
            } else {
                PostMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(click_.x, click_.y));
                PostMessageW(hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(click_.x, click_.y));
            }
        }
        return handled;
    }

private:
    UINT key_;
    POINT click_;
};

TEST_F(Forms, MessageDialogAnswers)
{
    ScriptedMessageDialog enter(VK_RETURN);
    enter.SetTitle(L"something else");
    enter.SetMessage(L"\u4E0A\u4F20\u5217\u8868\u4E3A\u7A7A\uFF0C\u8BF7\u9009\u62E9\u6587\u4EF6");
    EXPECT_EQ(enter.DoModal(nullptr), 1);
    EXPECT_EQ(enter.shownTitle, L"\u63D0\u793A\u6D88\u606F");
    EXPECT_EQ(enter.GetTitle(), L"\u63D0\u793A\u6D88\u606F");
    EXPECT_EQ(enter.shownSize.cx, 384);
    EXPECT_EQ(enter.shownSize.cy, 174);

    ScriptedMessageDialog escape(VK_ESCAPE);
    EXPECT_EQ(escape.DoModal(nullptr), 2);

    ScriptedMessageDialog ok(0, POINT{257 + 25, 141 + 12});
    EXPECT_EQ(ok.DoModal(nullptr), 1);
    ScriptedMessageDialog cancel(0, POINT{318 + 25, 141 + 12});
    EXPECT_EQ(cancel.DoModal(nullptr), 2);
    ScriptedMessageDialog close(0, POINT{384 - 14 - 7, 12 + 7});
    EXPECT_EQ(close.DoModal(nullptr), 2);
}

TEST_F(Forms, AnInformationBoxHasOkAloneAndWrapsItsText)
{
    // OK stands where a question's Cancel is; the question's OK place is empty.
    ScriptedMessageDialog ok(0, POINT{318 + 25, 141 + 12}, false);
    ok.SetMessage(L"\u6700\u591A\u53EA\u80FD\u6DFB\u52A0 300 \u5F20\u7167\u7247");
    EXPECT_EQ(ok.DoModal(nullptr), 1);
    EXPECT_FALSE(ok.IsQuestion());
    ScriptedMessageDialog escape(VK_ESCAPE, POINT{-1, -1}, false);
    EXPECT_EQ(escape.DoModal(nullptr), 2);

    // A long message takes more lines within the body instead of running off its right.
    CMessageDialog box;
    const HDC dc = GetDC(nullptr);
    box.SetMessage(L"\u4E00");
    const RECT one = box.MessageRect(dc);
    box.SetMessage(L"\u4E0A\u4F20\u5217\u8868\u6700\u591A\u53EA\u80FD\u653E 300 \u5F20\u7167\u7247\uFF0C"
                   L"\u8FD9\u6B21\u6DFB\u52A0\u4E86 30 \u5F20\uFF0C20 \u5F20\u672A\u6DFB\u52A0\u3002\u8BF7\u5148"
                   L"\u4E0A\u4F20\u6216\u5220\u9664\u4E00\u4E9B\u7167\u7247\u518D\u6DFB\u52A0\u3002");
    const RECT many = box.MessageRect(dc);
    ReleaseDC(nullptr, dc);
    EXPECT_GE(many.bottom - many.top, 2 * (one.bottom - one.top));
    EXPECT_LE(many.right, CMessageDialog::Width - 20);
    EXPECT_LE(many.bottom, CMessageDialog::Height - ExtForm::FooterHeight);
    EXPECT_GE(many.top, 34) << "below the title band";
}

}  // namespace
