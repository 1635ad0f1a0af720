// The window-backed controls: slider geometry, dragging and painting; the numeric and text
// edit boxes; the drop-down list. Real child windows driven with real messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "Canvas.h"
#include "HostWindow.h"
#include "RectCompare.h"
#include "ui/ComboBox.h"
#include "ui/Editor.h"
#include "ui/TextEditor.h"
#include "ui/TrackBar.h"

namespace {

// The hosts stay unmapped (hiding a mapped window costs Wine seconds without a window
// manager), so a child's own visibility is read from its style.
bool IsShown(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

TEST(SliderGeometry, PositionsAndValues)
{
    // Range -100..100, width 122, thumb 14: usable width 108.
    EXPECT_EQ(TrackBar::PositionFromValue(0, -100, 100, 108), 54);
    EXPECT_EQ(TrackBar::PositionFromValue(-100, -100, 100, 108), 0);
    EXPECT_EQ(TrackBar::PositionFromValue(100, -100, 100, 108), 108);
    EXPECT_EQ(TrackBar::ValueFromPosition(0, -100, 100, 108), -100);
    EXPECT_EQ(TrackBar::ValueFromPosition(108, -100, 100, 108), 100);
    EXPECT_EQ(TrackBar::ValueFromPosition(27, -100, 100, 108), -50);
    // Truncation towards zero on both sides of zero.
    EXPECT_EQ(TrackBar::ValueFromPosition(53, -100, 100, 108), -1);   // -1.85
    EXPECT_EQ(TrackBar::ValueFromPosition(55, -100, 100, 108), 1);    // 1.85
    EXPECT_EQ(TrackBar::PositionFromValue(33, 0, 100, 107), 35);      // 35.31
    // Degenerate widths and ranges stay inside the track instead of dividing by zero.
    EXPECT_EQ(TrackBar::PositionFromValue(50, 0, 100, 0), 0);
    EXPECT_EQ(TrackBar::PositionFromValue(50, 0, 100, -15), 0);
    EXPECT_EQ(TrackBar::ValueFromPosition(10, 0, 100, 0), 0);
    EXPECT_EQ(TrackBar::ValueFromPosition(10, 5, 5, 100), 5);
}

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.get());
        root.SetHostWindow(host.get());
        ASSERT_TRUE(slider.Create(host.get()));
        slider.Attach(&root);
        slider.SetSize(122, 15);
        slider.SetMargins(10, 20, 0, 0);
        slider.SetRange(-100, 100);
        slider.ValueChanged.connect([this](int v) { fired.push_back(v); });
        root.LayoutChildren();
        slider.SetVisible(1);
    }
    void Send(UINT msg, int x, int y = 7)
    {
        SendMessageW(slider.hwnd(), msg, msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE ? MK_LBUTTON : 0,
                     MAKELPARAM(x, y));
    }

    TestHostWindow host{400, 200};
    ControlBase root;
    ExtTrackBar slider;
    std::vector<int> fired;
};

TEST_F(SliderTest, WindowFollowsLayoutAndStartsHiddenUntilShown)
{
    RECT placed{};
    GetWindowRect(slider.hwnd(), &placed);
    MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed, (RECT{10, 20, 132, 35}));
    EXPECT_EQ(slider.GetBounds(), (RECT{0, 0, 122, 15}));
    EXPECT_TRUE(IsShown(slider.hwnd()));
    slider.SetVisible(0);
    EXPECT_FALSE(IsShown(slider.hwnd()));

    TrackBar hidden;
    ASSERT_TRUE(hidden.Create(host.get()));
    EXPECT_FALSE(IsShown(hidden.hwnd()));
}

TEST_F(SliderTest, DraggingFiresValuesAndClampsAtTheEnds)
{
    slider.SetValue(0);
    EXPECT_EQ(slider.GetThumbPosition(), 54);
    EXPECT_TRUE(fired.empty()) << "SetValue does not fire";

    Send(WM_LBUTTONDOWN, 60);
    EXPECT_TRUE(slider.IsDragging());
    EXPECT_EQ(GetCapture(), slider.hwnd());
    Send(WM_MOUSEMOVE, 60 - 500);  // far left
    Send(WM_MOUSEMOVE, 60 + 500);  // far right
    Send(WM_MOUSEMOVE, 60 + 27 - 54);
    Send(WM_MOUSEMOVE, 60 + 27 - 54);  // no change still fires
    Send(WM_LBUTTONUP, 33);
    EXPECT_EQ(fired, (std::vector<int>{-100, 100, -50, -50}));
    EXPECT_FALSE(slider.IsDragging());
    EXPECT_NE(GetCapture(), slider.hwnd());
    EXPECT_EQ(slider.GetValue(), -50);

    // A press on the thumb that does not move fires nothing.
    fired.clear();
    Send(WM_LBUTTONDOWN, 30);
    Send(WM_LBUTTONUP, 30);
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(slider.GetThumbPosition(), 27);
}

TEST_F(SliderTest, TheThumbStaysUnderThePointerWhereItWasGrabbed)
{
    // -255..255 as the brightness slider: grabbed at its right edge, a 36-pixel drag moves
    // the thumb 36 pixels and no more.
    slider.SetRange(-255, 255);
    slider.SetValue(0);
    ASSERT_EQ(slider.GetThumbPosition(), 54);
    Send(WM_LBUTTONDOWN, 54 + 12);
    Send(WM_MOUSEMOVE, 54 + 12 + 36);
    EXPECT_EQ(slider.GetThumbPosition(), 54 + 36);
    Send(WM_MOUSEMOVE, 54 + 12 + 10);
    Send(WM_LBUTTONUP, 54 + 12 + 10);
    EXPECT_EQ(slider.GetThumbPosition(), 54 + 10);
    EXPECT_EQ(slider.GetValue(), TrackBar::ValueFromPosition(64, -255, 255, 108));

    // Pressed on the track, away from the thumb: the thumb comes to the pointer at once and
    // follows it from there.
    fired.clear();
    Send(WM_LBUTTONDOWN, 20);
    EXPECT_EQ(slider.GetThumbPosition(), 20 - 7);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired.back(), TrackBar::ValueFromPosition(13, -255, 255, 108));
    Send(WM_MOUSEMOVE, 56);
    Send(WM_LBUTTONUP, 56);
    EXPECT_EQ(slider.GetThumbPosition(), 56 - 7);
    EXPECT_EQ(slider.GetValue(), TrackBar::ValueFromPosition(49, -255, 255, 108));
}

TEST_F(SliderTest, ResizingKeepsTheValue)
{
    slider.SetRange(0, 100);
    slider.SetValue(100);
    EXPECT_EQ(slider.GetThumbPosition(), 122 - 14);
    slider.SetValue(33);
    for (int width : {222, 160, 122, 300, 122}) {
        slider.SetSize(width, 15);
        root.LayoutChildren();
        EXPECT_EQ(slider.GetValue(), 33) << "width " << width;
        EXPECT_EQ(slider.GetThumbPosition(), TrackBar::PositionFromValue(33, 0, 100, width - 14));
    }
    // A value set before the first layout survives it.
    ExtTrackBar early;
    ASSERT_TRUE(early.Create(host.get()));
    early.SetRange(-100, 100);
    early.SetValue(40);
    early.Attach(&root);
    early.SetSize(122, 15);
    early.Layout();
    EXPECT_EQ(early.GetValue(), 40);
    EXPECT_EQ(early.GetThumbPosition(), 75);  // trunc(140 / 200 * 108)
}

TEST_F(SliderTest, Painting)
{
    slider.SetValue(0);
    Canvas c(122, 15);
    slider.PaintTrack(c.dc());
    slider.PaintThumb(c.dc());
    EXPECT_EQ(c.At(20, 0), RGB(198, 212, 228));         // background above the track
    EXPECT_EQ(c.At(20, 4), RGB(162, 155, 152));         // outer track border
    EXPECT_EQ(c.At(20, 5), RGB(190, 199, 204));         // inner track border
    EXPECT_EQ(c.At(20, 7), RGB(217, 214, 210));         // track fill
    EXPECT_EQ(c.At(54, 7), RGB(141, 176, 230));         // thumb's left border
    EXPECT_EQ(c.At(60, 7), RGB(236, 251, 255));         // thumb fill
    EXPECT_EQ(c.At(67, 7), RGB(141, 176, 230));         // thumb's right border (54 + 14 - 1)

    TrackBar plain;
    ASSERT_TRUE(plain.Create(host.get(), RECT{0, 0, 122, 40}));
    EXPECT_TRUE(IsShown(plain.hwnd()));
    RECT client{};
    GetClientRect(plain.hwnd(), &client);
    EXPECT_EQ(client.bottom, 15) << "the height is forced to 15";
    Canvas p(122, 15);
    plain.PaintTrack(p.dc());
    plain.PaintThumb(p.dc());
    EXPECT_EQ(p.At(30, 0), RGB(198, 212, 228));
    EXPECT_EQ(p.At(30, 2), RGB(221, 221, 221));
    EXPECT_EQ(p.At(30, 7), RGB(246, 175, 58));
    EXPECT_EQ(p.At(0, 7), RGB(204, 204, 204));
    EXPECT_EQ(p.At(7, 7), RGB(255, 255, 255));
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.get());
        root.SetHostWindow(host.get());
        editor.Attach(&root);  // creates the window
        ASSERT_TRUE(editor.hwnd());
        editor.SetSize(60, 22);
        editor.SetMargins(5, 5, 0, 0);
        root.LayoutChildren();
        auto count = [this](const char* name) { return [this, name] { fired += name; fired += ' '; }; };
        editor.FocusGained.connect(count("focus"));
        editor.FocusLost.connect(count("blur"));
        editor.EscapePressed.connect(count("esc"));
        editor.EnterPressed.connect(count("enter"));
        editor.CtrlEnterPressed.connect(count("ctrl-enter"));
        editor.UpPressed.connect(count("up"));
        editor.DownPressed.connect(count("down"));
        editor.TextChanged.connect(count("changed"));
    }
    void Key(UINT vk) { SendMessageW(editor.hwnd(), WM_KEYDOWN, vk, 1); }
    void Char(wchar_t c) { SendMessageW(editor.hwnd(), WM_CHAR, c, 1); }

    TestHostWindow host{300, 100};
    ControlBase root;
    Editor editor;
    std::string fired;
};

TEST_F(EditorTest, InADialogABoxThatActsOnEnterAsksForIt)
{
    // The dialog manager asks before it turns Enter into the default button's command.
    MSG enter{editor.hwnd(), WM_KEYDOWN, VK_RETURN, 0};
    MSG tab{editor.hwnd(), WM_KEYDOWN, VK_TAB, 0};
    const auto code = [&](MSG* m) { return SendMessageW(editor.hwnd(), WM_GETDLGCODE, m ? m->wParam : 0, reinterpret_cast<LPARAM>(m)); };
    EXPECT_TRUE(code(&enter) & DLGC_WANTALLKEYS);
    EXPECT_FALSE(code(&tab) & DLGC_WANTALLKEYS);
    EXPECT_TRUE(code(nullptr) & DLGC_HASSETSEL) << "the edit control's own answer is kept";
    Editor plain;
    plain.Attach(&root);
    MSG plainEnter{plain.hwnd(), WM_KEYDOWN, VK_RETURN, 0};
    EXPECT_FALSE(SendMessageW(plain.hwnd(), WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&plainEnter)) &
                 DLGC_WANTALLKEYS)
        << "a box nobody listens to leaves Enter to the dialog";
}

TEST_F(EditorTest, NumbersOnlyAndIntegerText)
{
    Char(L'4');
    Char(L'a');
    Char(L'2');
    EXPECT_EQ(editor.GetText(), L"42") << "letters are refused by the native control";
    EXPECT_EQ(editor.GetInt(), 42);
    EXPECT_NE(fired.find("changed"), std::string::npos) << "EN_CHANGE came back through reflection";

    editor.SetInt(-1234);
    EXPECT_EQ(editor.GetInt(), -1234);
    editor.SetInt(2147483647);
    EXPECT_EQ(editor.GetText(), L"214748364") << "at most 9 characters";
    SetWindowTextW(editor.hwnd(), L"");
    EXPECT_EQ(editor.GetInt(), 0);
    SetWindowTextW(editor.hwnd(), L"12x4");
    EXPECT_EQ(editor.GetInt(), 12);
}

TEST_F(EditorTest, KeysBecomeSignals)
{
    Char(L'7');
    fired.clear();
    Key(VK_RETURN);
    Char(L'\r');
    Key(VK_ESCAPE);
    Key(VK_UP);
    Key(VK_DOWN);
    EXPECT_EQ(fired, "enter esc up down ");
    EXPECT_EQ(editor.GetText(), L"7") << "Enter types nothing";

    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_LCONTROL] = keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    fired.clear();
    Key(VK_RETURN);
    keys[VK_LCONTROL] = keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(fired, "ctrl-enter ") << "Ctrl+Enter fires only its own signal";
}

TEST_F(EditorTest, FrameAndVisibility)
{
    RECT window{}, client{};
    GetWindowRect(editor.hwnd(), &window);
    GetClientRect(editor.hwnd(), &client);
    EXPECT_EQ(window.right - window.left, 60);
    EXPECT_EQ(client.right, 58) << "a 1-pixel frame on every side";
    EXPECT_EQ(client.bottom, 20);
    // The reflected WM_CTLCOLOREDIT answers white.
    HDC dc = GetDC(editor.hwnd());
    EXPECT_EQ(SendMessageW(host.get(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(editor.hwnd())),
              reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(editor.hwnd(), dc);
    editor.SetVisible(0);
    EXPECT_FALSE(IsShown(editor.hwnd()));

    Editor limited;
    limited.SetLimit(3);
    limited.SetReadOnly(true);
    ASSERT_TRUE(limited.Create(host.get(), 0, 40, 50, 20));
    const LONG_PTR style = GetWindowLongPtrW(limited.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_NUMBER);
    EXPECT_EQ(SendMessageW(limited.hwnd(), EM_GETLIMITTEXT, 0, 0), 3);
}

TEST(TextEditorTest, PlacesOneCentredLine)
{
    TestHostWindow host(300, 100);
    TextEditor text;
    ASSERT_TRUE(text.Create(host.get(), RECT{0, 0, 100, 30}));
    EXPECT_FALSE(IsShown(text.hwnd()));
    text.Place(RECT{10, 10, 130, 40});
    EXPECT_TRUE(IsShown(text.hwnd()));
    RECT client{}, format{};
    GetClientRect(text.hwnd(), &client);
    EXPECT_EQ(client.right, 118);
    SendMessageW(text.hwnd(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    // The native control may add a pixel of its own margin to the rectangle it was given.
    EXPECT_NEAR(format.left, 2, 1);
    EXPECT_NEAR(format.right, client.right - 2, 1);
    EXPECT_GT(format.top, 0);
    EXPECT_NEAR(format.top, client.bottom - format.bottom, 1) << "the line sits in the middle";
    // The parent's background shows through: the reflected colour message answers the null brush.
    HDC dc = GetDC(text.hwnd());
    EXPECT_EQ(SendMessageW(host.get(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(text.hwnd())),
              reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(GetTextColor(dc), RGB(130, 130, 130));
    ReleaseDC(text.hwnd(), dc);
}

TEST(ComboBoxTest, ListSelectionAndLayout)
{
    TestHostWindow host(400, 200);
    ControlBase root;
    root.SetHostWindow(host.get());
    ComboBox combo;
    combo.Attach(&root);
    ASSERT_TRUE(combo.hwnd());
    EXPECT_EQ(GetParent(combo.hwnd()), host.get());
    combo.SetSize(86, 70);
    combo.SetMargins(0, 4, 10, 0);
    combo.SetAnchor(AnchorTop | AnchorRight);
    root.LayoutChildren();
    EXPECT_EQ(combo.GetBounds(), (RECT{304, 4, 390, 74}));
    RECT placed{};
    GetWindowRect(combo.hwnd(), &placed);
    MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 304);
    EXPECT_EQ(placed.top, 4);

    for (const wchar_t* entry : {L"\u9ED8\u8BA4\u6392\u5E8F", L"\u6309\u6587\u4EF6\u540D", L"\u6309\u521B\u5EFA\u65F6\u95F4",
                                 L"\u6309\u62CD\u6444\u65F6\u95F4"})
        combo.AddString(entry);
    combo.SetCurSel(0);
    EXPECT_EQ(combo.GetCount(), 4);

    std::vector<int> chosen;
    combo.SelectionChanged.connect([&](int index) { chosen.push_back(index); });
    // The user moves the selection with the keyboard: the list notifies its parent, which
    // reflects CBN_SELCHANGE back to the box.
    SendMessageW(combo.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(combo.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(chosen, (std::vector<int>{1, 2}));

    combo.ReleaseView();
    EXPECT_EQ(combo.hwnd(), nullptr);
}

}  // namespace
