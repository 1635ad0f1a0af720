// The painted controls: their skin images, mouse states, signals and sizes, painted into a
// memory bitmap and driven with mouse arguments the way a form routes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "Canvas.h"
#include "RectCompare.h"
#include "image/CxImage.h"
#include "platform/ResourceModule.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/Icon.h"
#include "ui/IconLabel.h"
#include "ui/ImageLister.h"
#include "ui/Label.h"
#include "ui/SkinTable.h"
#include "ui/Theme.h"

using namespace Vantor::UI;
using namespace Vantor::UI::Controls;

namespace {

const COLORREF kMagenta = RGB(255, 0, 255);

class HostWindow {
public:
    HostWindow(int width, int height)
    {
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
        hwnd_ = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, r.right - r.left, r.bottom - r.top, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindow() { DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

class Controls : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        skins = ImageLister::Acquire();
        ASSERT_EQ(skins->Count(), 47u);
    }
    static void TearDownTestSuite() { skins.reset(); }
    static SkinLease skins;

    void SetUp() override
    {
        ASSERT_TRUE(host.get());
        root.SetHostWindow(host.get());
    }
    void PaintAll()
    {
        canvas.Clear(kMagenta);
        CPaintEventArgs e(canvas.dc(), nullptr, nullptr);
        root.Paint(e);
    }
    static CMouseEventArgs At(int x, int y) { return CMouseEventArgs(0, x, y); }

    HostWindow host{300, 200};
    ControlBase root;
    Canvas canvas{300, 200};
};

SkinLease Controls::skins;

TEST_F(Controls, SkinTableHasEveryImageAtItsSize)
{
    size_t count = 0;
    const SkinEntry* table = SkinTable(&count);
    ASSERT_EQ(count, 47u);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_GE(table[i].id, 201);
        EXPECT_LE(table[i].id, 252);
        EXPECT_TRUE(skins->Has(table[i].name)) << table[i].name;
    }
    auto size = [&](const char* name) { return skins->GetSize(name); };
    for (const char* name : {"BtnAdd-Normal", "BtnAdd-Hover", "BtnAdd-Disable", "BtnPost-Normal", "BtnPost-Hover",
                             "BtnPost-Disable", "BtnPost-Cancel"}) {
        EXPECT_EQ(size(name).cx, 84) << name;
        EXPECT_EQ(size(name).cy, 24) << name;
    }
    EXPECT_EQ(size("BtnAdd2-Normal").cx, 203);
    EXPECT_EQ(size("BtnAdd2-Hover").cy, 51);
    EXPECT_EQ(size("BtnOk").cx, 51);
    EXPECT_EQ(size("BtnCancel").cy, 24);
    for (const char* name : {"BtnCloseNormal", "BtnCloseHover", "BtnMax-Normal", "BtnRestore-Hover",
                             "CheckBox-Normal", "CheckBox-CkHover"})
        EXPECT_EQ(size(name).cx, 15) << name;
    for (const char* name : {"IcoAdd", "IcoEdit", "IcoInfo", "RotatioLeft", "RotatioRight", "Btn_Delete", "ico-left",
                             "ico-right"})
        EXPECT_EQ(size(name).cy, 16) << name;
    EXPECT_EQ(size("Title_bk").cy, 33);
    EXPECT_EQ(size("NoSuchSkin").cx, 0);
}

TEST_F(Controls, EnglishButtonImagesStandInForTheChineseOnesAtTheirSize)
{
    // Every button with words in its image has an English twin, as high as the Chinese one
    // and as wide, except the top add button, which is wider for "Add photos".
    for (const char* name : {"BtnAdd-Normal", "BtnAdd-Hover", "BtnAdd-Disable", "BtnPost-Normal", "BtnPost-Hover",
                             "BtnPost-Disable", "BtnPost-Cancel", "BtnAdd2-Normal", "BtnAdd2-Hover", "BtnOk",
                             "BtnCancel"}) {
        const std::string english = SkinInLanguage(name, Language::En);
        EXPECT_EQ(english, std::string(name) + "-en");
        EXPECT_EQ(SkinInLanguage(name, Language::ZhCN), name);
        ASSERT_TRUE(skins->Has(english)) << english;
        const SIZE chinese = skins->GetSize(name);
        const SIZE twin = skins->GetSize(english);
        EXPECT_EQ(twin.cy, chinese.cy) << english;
        if (std::string(name).rfind("BtnAdd-", 0) == 0)
            EXPECT_GT(twin.cx, chinese.cx) << english;
        else
            EXPECT_EQ(twin.cx, chinese.cx) << english;
        // The words are drawn: the English image differs from the Chinese one.
        Canvas a(twin.cx, twin.cy), b(twin.cx, twin.cy);
        a.Clear(kMagenta);
        b.Clear(kMagenta);
        skins->DrawSkin(a.dc(), name, POINT{0, 0});
        skins->DrawSkin(b.dc(), english, POINT{0, 0});
        GdiFlush();
        int different = 0;
        for (int y = 0; y < twin.cy; ++y)
            for (int x = 0; x < std::min(twin.cx, chinese.cx); ++x)
                different += a.At(x, y) != b.At(x, y);
        EXPECT_GT(different, 20) << english;
    }
    // An image without words is the same in every language.
    EXPECT_EQ(SkinInLanguage("IcoEdit", Language::En), "IcoEdit");
    EXPECT_EQ(SkinInLanguage("CheckBox-Normal", Language::En), "CheckBox-Normal");
}

TEST_F(Controls, BadSkinsAreRefusedAndTheModuleCanBeChosen)
{
    ImageLister skins;
    ASSERT_EQ(LoadSkins(skins), 47u);
    EXPECT_FALSE(skins.AddSkin("Nothing", 9999)) << "no such resource";
    const unsigned char notPng[] = {0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(skins.AddSkinPng("Broken", notPng, sizeof(notPng)));
    EXPECT_FALSE(skins.AddSkinPng("Empty", nullptr, 0));
    EXPECT_FALSE(skins.Has("Nothing") || skins.Has("Broken") || skins.Has("Empty"));

    // A truncated copy of a real skin does not decode either, and leaves the old image alone.
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(201), L"PNG");
    ASSERT_TRUE(found);
    const auto* png = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    const size_t size = SizeofResource(nullptr, found);
    EXPECT_FALSE(skins.AddSkinPng("IcoAdd", png, size / 2));
    EXPECT_EQ(skins.GetSize("IcoAdd").cx, 16);

    // Skins load from the resource module, which a host may point elsewhere.
    Vantor::Win::SetResourceModule(GetModuleHandleW(L"kernel32.dll"));
    EXPECT_FALSE(skins.AddSkin("IcoAdd", 201));
    Vantor::Win::SetResourceModule(nullptr);
    EXPECT_EQ(Vantor::Win::ResourceModule(), GetModuleHandleW(nullptr));
    EXPECT_TRUE(skins.AddSkin("IcoAdd", 201));
}

TEST_F(Controls, SkinsKeepTheirTransparency)
{
    canvas.Clear(kMagenta);
    skins->DrawSkin(canvas.dc(), "BtnAdd-Normal", POINT{10, 10});
    EXPECT_EQ(canvas.At(10, 10), kMagenta) << "rounded corner shows the background";
    EXPECT_NE(canvas.At(10 + 42, 10 + 2), kMagenta);
    // The close button's glyph sits on a transparent square.
    skins->DrawSkin(canvas.dc(), "BtnCloseNormal", POINT{100, 10});
    EXPECT_EQ(canvas.At(100, 10), kMagenta);
    EXPECT_GT(canvas.CountOtherThan(RECT{100, 10, 115, 25}, kMagenta), 5);
    // Stretched, and grey.
    skins->DrawSkinStretched(canvas.dc(), "Title_bk", RECT{0, 100, 300, 133});
    EXPECT_EQ(canvas.CountOtherThan(RECT{0, 100, 300, 133}, kMagenta), 300 * 33);
    skins->DrawSkinGray(canvas.dc(), "IcoAdd", POINT{0, 150});
    const COLORREF centre = canvas.At(3, 157);
    EXPECT_EQ(GetRValue(centre), GetGValue(centre));
    EXPECT_EQ(GetGValue(centre), GetBValue(centre));
    // A missing name draws nothing.
    skins->DrawSkin(canvas.dc(), "Missing", POINT{200, 150});
    skins->DrawSkinStretched(canvas.dc(), "Missing", RECT{200, 150, 260, 190});
    skins->DrawSkinGray(canvas.dc(), "Missing", POINT{200, 150});
    EXPECT_EQ(canvas.CountOtherThan(RECT{200, 150, 260, 190}, kMagenta), 0);
}

TEST_F(Controls, ButtonPressReleaseAndLeaving)
{
    Button button;
    button.Create(&root, L"");
    button.SetSize(84, 24);
    button.SetMargins(6, 4, 0, 0);
    root.LayoutChildren();
    EXPECT_EQ(button.GetBounds(), (RECT{6, 4, 90, 28}));
    int clicks = 0;
    button.Click.connect([&] { ++clicks; });

    CMouseEventArgs move = At(20, 10);
    root.OnMouseMove(move);
    EXPECT_EQ(button.CurrentImage(), "BtnHover");

    // Press inside, release outside: no click, drawn normal again.
    CMouseEventArgs down = At(20, 10);
    root.OnLButtonDown(down);
    EXPECT_TRUE(down.handled);
    EXPECT_EQ(down.handler, &button);
    EXPECT_EQ(button.CurrentImage(), "BtnDown");
    CMouseEventArgs outside = At(200, 150);
    button.OnMouseMove(outside);  // the form sends moves to the pressed control only
    EXPECT_EQ(button.CurrentImage(), "BtnDown") << "a pressed button keeps its look while dragged off";
    button.OnLButtonUp(outside);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button.GetState(), 0u);
    EXPECT_EQ(button.CurrentImage(), "BtnNormal");

    // Press and release inside: one click, hover kept.
    CMouseEventArgs again = At(30, 20);
    root.OnMouseMove(again);
    root.OnLButtonDown(again);
    button.OnLButtonUp(again);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.CurrentImage(), "BtnHover");

    // A release without a press does nothing.
    CMouseEventArgs stray = At(30, 20);
    button.OnLButtonUp(stray);
    EXPECT_EQ(clicks, 1);

    // The mouse leaving the window clears the hover.
    root.OnMouseLeave();
    EXPECT_EQ(button.CurrentImage(), "BtnNormal");
}

TEST_F(Controls, DisabledAndHiddenButtons)
{
    Button button;
    button.Create(&root, L"\u5F00\u59CB");
    button.SetSize(100, 30);
    button.SetMargins(10, 10, 0, 0);
    root.LayoutChildren();
    int clicks = 0;
    button.Click.connect([&] { ++clicks; });

    button.SetDisabled(1);
    EXPECT_EQ(button.CurrentImage(), "BtnDisable");
    CMouseEventArgs down = At(50, 20);
    root.OnMouseMove(down);
    root.OnLButtonDown(down);
    EXPECT_FALSE(down.handled);
    button.OnLButtonUp(down);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button.GetState(), 0u);

    // The caption is drawn in the disabled colour.
    PaintAll();
    // Text is anti-aliased: judge the caption by its darkest pixel against the skin's fill.
    const RECT inner{20, 14, 100, 36};  // inside the frame, around the caption
    const int disabledInk = canvas.Darkest(inner);
    EXPECT_GE(disabledInk, 180) << "a disabled caption is never darker than RGB(193, 193, 193)";
    EXPECT_LT(disabledInk, 225) << "the caption was drawn";
    button.SetDisabled(0);
    PaintAll();
    EXPECT_LT(canvas.Darkest(inner), 120) << "an enabled caption is drawn in RGB(51, 51, 51)";

    // Hidden: not painted, deaf to the mouse.
    button.SetVisible(0);
    PaintAll();
    EXPECT_EQ(canvas.CountOtherThan(RECT{0, 0, 300, 200}, kMagenta), 0);
    CMouseEventArgs hiddenDown = At(50, 20);
    root.OnLButtonDown(hiddenDown);
    EXPECT_FALSE(hiddenDown.handled);

    // Replaced images apply to every state.
    button.SetVisible(1);
    button.SetImages("BtnOk", "BtnOk", "BtnOk", "BtnCancel");
    EXPECT_EQ(button.CurrentImage(), "BtnOk");
    button.SetDisabled(1);
    EXPECT_EQ(button.CurrentImage(), "BtnCancel");
}

TEST_F(Controls, CheckBoxTogglesAndSizesToItsCaption)
{
    CheckBox box;
    box.Create(&root, L"\u5168\u9009");
    box.SetMargins(0, 7, 26, 0);
    box.SetAnchor(AnchorTop | AnchorRight);
    root.LayoutChildren();
    const int caption = box.GetWidth();
    EXPECT_GT(caption, 10);
    EXPECT_EQ(box.GetBounds(), (RECT{300 - 26 - caption - 15, 7, 300 - 26, 22}));

    int clicks = 0;
    bool checkedInSignal = false;
    box.Click.connect([&] {
        ++clicks;
        checkedInSignal = box.IsChecked();
    });
    const RECT b = box.GetBounds();
    for (int i = 0; i < 2; ++i) {
        CMouseEventArgs e = At(b.left + 5, b.top + 5);
        root.OnMouseMove(e);
        root.OnLButtonDown(e);
        box.OnLButtonUp(e);
        if (i == 0) {
            EXPECT_TRUE(box.IsChecked());
            EXPECT_TRUE(checkedInSignal) << "the mark changes before the signal fires";
            EXPECT_EQ(box.CurrentImage(), "CheckBox-CkHover");
        }
    }
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(box.IsChecked());
    EXPECT_EQ(box.CurrentImage(), "CheckBox-Hover");

    // Released outside: no toggle.
    CMouseEventArgs down = At(b.left + 5, b.top + 5);
    root.OnLButtonDown(down);
    CMouseEventArgs up = At(5, 150);
    box.OnLButtonUp(up);
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(box.IsChecked());

    box.SetChecked(true);
    root.OnMouseLeave();
    EXPECT_EQ(box.CurrentImage(), "CheckBox-Checked");
    PaintAll();
    EXPECT_GT(canvas.CountOtherThan(RECT{b.left, b.top, b.left + 15, b.top + 15}, kMagenta), 100);
}

// The check box's mouse states differ from the button's: a release outside keeps the hover,
// and being disabled stops only new presses.
TEST_F(Controls, CheckBoxKeepsHoverAndFinishesAPressWhileDisabled)
{
    CheckBox box;
    box.Create(&root, L"\u5168\u9009");
    box.SetMargins(10, 10, 0, 0);
    root.LayoutChildren();
    int clicks = 0;
    box.Click.connect([&] { ++clicks; });
    const RECT b = box.GetBounds();
    const auto inside = [&] { return At(b.left + 5, b.top + 5); };
    const auto outside = [&] { return At(b.right + 40, b.bottom + 40); };

    CMouseEventArgs hover = inside();
    root.OnMouseMove(hover);
    CMouseEventArgs down = inside();
    root.OnLButtonDown(down);
    CMouseEventArgs missed = outside();
    box.OnLButtonUp(missed);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(box.GetState(), static_cast<unsigned>(StateHover)) << "a release outside clears the pressed bit only";

    box.SetDisabled(1);
    CMouseEventArgs away = outside();
    root.OnMouseMove(away);
    EXPECT_EQ(box.GetState(), 0u);
    CMouseEventArgs back = inside();
    root.OnMouseMove(back);
    EXPECT_EQ(box.GetState(), static_cast<unsigned>(StateHover)) << "a disabled check box still shows hover";
    CMouseEventArgs refused = inside();
    root.OnLButtonDown(refused);
    EXPECT_FALSE(refused.handled);

    // A press made while enabled ends in a click even if the box is disabled meanwhile.
    box.SetDisabled(0);
    CMouseEventArgs press = inside();
    root.OnLButtonDown(press);
    box.SetDisabled(1);
    CMouseEventArgs release = inside();
    box.OnLButtonUp(release);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(box.IsChecked());
}

TEST_F(Controls, IconLabelSizesGreysAndCarriesItself)
{
    IconLabel tool;
    tool.Create(&root, L"\u7F16\u8F91", "IcoEdit");
    tool.SetMargins(0, 7, 100, 0);
    tool.SetAnchor(AnchorTop | AnchorRight);
    root.LayoutChildren();
    HDC dc = GetDC(host.get());
    const SIZE text = MeasureText(dc, L"\u7F16\u8F91", Theme::Instance().NormalFont());
    ReleaseDC(host.get(), dc);
    EXPECT_EQ(tool.GetWidth(), text.cx + 16 + 5);

    ControlBase* clicked = nullptr;
    tool.Click.connect([&](ControlBase* source) { clicked = source; });
    const RECT b = tool.GetBounds();
    CMouseEventArgs e = At(b.left + 2, b.top + 2);
    root.OnLButtonDown(e);
    tool.OnLButtonUp(e);
    EXPECT_EQ(clicked, &tool);

    // Pressed, then released outside: no click, and the hover goes with the pressed bit.
    clicked = nullptr;
    CMouseEventArgs hover = At(b.left + 2, b.top + 2);
    root.OnMouseMove(hover);
    CMouseEventArgs press = At(b.left + 2, b.top + 2);
    root.OnLButtonDown(press);
    CMouseEventArgs missed = At(b.left - 40, b.bottom + 40);
    tool.OnLButtonUp(missed);
    EXPECT_EQ(clicked, nullptr);
    EXPECT_EQ(tool.GetState(), 0u);

    // Disabled: grey icon, grey caption.
    tool.SetDisabled(1);
    canvas.Clear(RGB(255, 255, 255));  // a grey background, so that blended edges stay grey
    CPaintEventArgs paint(canvas.dc(), nullptr, nullptr);
    root.Paint(paint);
    int coloured = 0;
    for (int y = b.top; y < b.top + 16; ++y)
        for (int x = b.left; x < b.left + 16; ++x) {
            const COLORREF c = canvas.At(x, y);
            if (!(GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c)))
                ++coloured;
        }
    EXPECT_EQ(coloured, 0);

    // Hidden: nothing of it is painted, and a press goes through.
    tool.SetDisabled(0);
    tool.SetVisible(0);
    canvas.Clear(RGB(255, 255, 255));
    CPaintEventArgs hidden(canvas.dc(), nullptr, nullptr);
    root.Paint(hidden);
    int painted = 0;
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x)
            painted += canvas.At(x, y) != RGB(255, 255, 255);
    EXPECT_EQ(painted, 0);
    CMouseEventArgs through = At(b.left + 2, b.top + 2);
    root.OnLButtonDown(through);
    EXPECT_FALSE(through.handled);
    tool.SetVisible(1);

    // A label without an icon is as wide as its caption.
    IconLabel bare;
    bare.Create(&root, L"\u7F16\u8F91", "NoSuchIcon");
    EXPECT_EQ(bare.GetWidth(), text.cx);
}

TEST_F(Controls, LabelKeepsItsTextSizeThroughLayout)
{
    Label label;
    label.Create(&root, L"\u8BF7\u70B9\u51FB");
    const RECT measured = label.GetBounds();
    EXPECT_GT(measured.right, 20);
    EXPECT_GT(measured.bottom, 8);
    label.SetMargins(8, 39, 0, 0);
    root.LayoutChildren();
    EXPECT_EQ(label.GetBounds(), (RECT{8, 39, 8 + measured.right, 39 + measured.bottom}));
    label.SetText(L"\u8BF7\u70B9\u51FB\u8BF7\u70B9\u51FB");
    EXPECT_GT(label.GetBounds().right - label.GetBounds().left, measured.right);
    EXPECT_EQ(label.GetBounds().left, 8);

    label.SetTextColor(RGB(200, 0, 0));
    canvas.Clear(RGB(255, 255, 255));
    CPaintEventArgs paint(canvas.dc(), nullptr, nullptr);
    root.Paint(paint);
    int reddish = 0;
    const RECT lb = label.GetBounds();
    for (int y = lb.top; y < lb.bottom; ++y)
        for (int x = lb.left; x < lb.right; ++x) {
            const COLORREF c = canvas.At(x, y);
            reddish += GetGValue(c) < 200 && GetRValue(c) > GetGValue(c) + 20;
        }
    EXPECT_GT(reddish, 5) << "the label draws in its own colour";
    // Every pixel of the text lies inside the measured bounds.
    RECT outside{label.GetBounds().right, 0, 300, 200};
    EXPECT_EQ(canvas.CountOtherThan(outside, RGB(255, 255, 255)), 0);
}

TEST_F(Controls, IconPaintsEvenWhenHidden)
{
    Icon icon;
    icon.Create(&root);
    icon.SetImage("IcoInfo");
    icon.SetSize(16, 16);
    icon.SetMargins(50, 50, 0, 0);
    root.LayoutChildren();
    icon.SetVisible(0);
    PaintAll();
    EXPECT_GT(canvas.CountOtherThan(RECT{50, 50, 66, 66}, kMagenta), 50);
    icon.SetImage("Missing");
    PaintAll();
    EXPECT_EQ(canvas.CountOtherThan(RECT{0, 0, 300, 200}, kMagenta), 0);
}

}  // namespace
