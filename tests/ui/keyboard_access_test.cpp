// The keyboard focus of a form's control tree and its accessible object: Tab order over the
// controls that can take the focus, Enter and Space, and the tree a client reads through
// oleacc, with the events it hears.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/Window.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/FormBase.h"
#include "ui/ImageLister.h"
#include "ui/Label.h"

using namespace Vantor::UI;
using namespace Vantor::UI::Controls;
using Vantor::ComPtr;

namespace {

class KeyForm : public Vantor::Win::Window, public FormBase {
public:
    KeyForm()
    {
        CreateWindowOfClass(nullptr, RECT{40, 40, 340, 240}, L"keys", WS_POPUP | WS_VISIBLE);
        SetFocus(hwnd());
    }
    void Paint(CPaintEventArgs& e) override { ControlBase::Paint(e); }
    void Key(WPARAM key, bool shift = false)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        const BYTE kept = state[VK_SHIFT];
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        SendMessageW(GetFocus(), WM_KEYDOWN, key, 1);
        state[VK_SHIFT] = kept;
        SetKeyboardState(state);
    }

    Button first, disabled, hidden, hides;
    CheckBox box;
    Label text;
    int firstClicks = 0, boxClicks = 0, hidesClicks = 0;

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Test.KeyForm"; }
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_CREATE) {
            AttachWindow(hwnd(), 0, 0, 300, 200);
            int left = 10;
            for (Button* button : {&first, &disabled, &hidden, &hides}) {
                button->Create(this, L"B" + std::to_wstring(left));
                button->SetSize(50, 24);
                button->SetMargins(left, 10, 0, 0);
                left += 60;
            }
            first.SetAccessibleName(L"first");
            disabled.SetDisabled(1);
            hidden.SetVisible(0);
            box.Create(this, L"box");
            box.SetMargins(10, 60, 0, 0);
            text.Create(this, L"some words");
            text.SetMargins(10, 100, 0, 0);
            first.Click.connect([this] { ++firstClicks; });
            box.Click.connect([this] { ++boxClicks; });
            hides.Click.connect([this] {
                ++hidesClicks;
                hides.SetVisible(0);
            });
            return false;
        }
        return ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
    }
};

class KeyboardAccess : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        skins = ImageLister::Acquire();
    }
    static void TearDownTestSuite() { skins.reset(); }
    static SkinLease skins;
};

SkinLease KeyboardAccess::skins;

ComPtr<IAccessible> ClientOf(HWND window)
{
    ComPtr<IAccessible> object;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

VARIANT Child(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

std::wstring NameOf(IAccessible& object, long id)
{
    BSTR name = nullptr;
    object.get_accName(Child(id), &name);
    std::wstring out(name ? name : L"");
    SysFreeString(name);
    return out;
}

long RoleOf(IAccessible& object, long id)
{
    VARIANT role;
    VariantInit(&role);
    object.get_accRole(Child(id), &role);
    return role.vt == VT_I4 ? role.lVal : -1;
}

long StateOf(IAccessible& object, long id)
{
    VARIANT state;
    VariantInit(&state);
    object.get_accState(Child(id), &state);
    return state.vt == VT_I4 ? state.lVal : -1;
}

void Pump()
{
    MSG message;
    for (int round = 0; round < 5; ++round)
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
}

struct Heard {
    DWORD event;
    HWND window;
    LONG child;
};
std::vector<Heard> g_heard;

void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    if (object == OBJID_CLIENT)
        g_heard.push_back({event, window, child});
}

bool HeardEvent(DWORD event, HWND window, LONG child)
{
    for (const Heard& heard : g_heard)
        if (heard.event == event && heard.window == window && heard.child == child)
            return true;
    return false;
}

}  // namespace

TEST_F(KeyboardAccess, TabSkipsWhatCannotTakeTheFocusAndWraps)
{
    KeyForm form;
    ASSERT_TRUE(form.hwnd());
    ASSERT_EQ(GetFocus(), form.hwnd());
    FocusRing& ring = form.Access().Focus();
    EXPECT_EQ(ring.Current(), nullptr) << "nothing is focused before the first Tab";

    form.Key(VK_TAB);
    EXPECT_EQ(ring.Current(), &form.first);
    form.Key(VK_TAB);
    EXPECT_EQ(ring.Current(), &form.hides) << "the disabled and the hidden button are passed over";
    form.Key(VK_TAB);
    EXPECT_EQ(ring.Current(), &form.box);
    form.Key(VK_TAB);
    EXPECT_EQ(ring.Current(), &form.first) << "a label takes no focus; the ring wraps";
    form.Key(VK_TAB, true);
    EXPECT_EQ(ring.Current(), &form.box) << "Shift+Tab goes back";

    form.disabled.SetDisabled(0);
    ring.FocusOn(&form.first);
    form.Key(VK_TAB);
    EXPECT_EQ(ring.Current(), &form.disabled) << "enabled again, it is a stop again";
}

TEST_F(KeyboardAccess, TheEndsOfTheOrderAreKnownAndTheFocusEntersAtEitherEnd)
{
    // Stops: first, hides and box (the disabled and the hidden button take none; the label is none).
    KeyForm form;
    FocusRing& ring = form.Access().Focus();
    EXPECT_TRUE(ring.CanMoveWithin(false)) << "nothing focused yet: any stop is ahead";

    ring.Enter(false);
    EXPECT_EQ(ring.Current(), &form.first) << "entered by Tab: the first stop";
    EXPECT_FALSE(ring.CanMoveWithin(true)) << "nothing before the first stop";
    EXPECT_TRUE(ring.CanMoveWithin(false));

    ring.Enter(true);
    EXPECT_EQ(ring.Current(), &form.box) << "entered by Shift+Tab: the last stop";
    EXPECT_FALSE(ring.CanMoveWithin(false)) << "nothing after the last stop";
    EXPECT_TRUE(ring.CanMoveWithin(true));

    // A stop that cannot take the focus does not count: hide the last, and the one before it
    // is the end.
    form.box.SetVisible(0);
    ring.FocusOn(&form.hides);
    EXPECT_FALSE(ring.CanMoveWithin(false)) << "only a hidden stop lies ahead";
    ring.Enter(true);
    EXPECT_EQ(ring.Current(), &form.hides);
    form.first.SetDisabled(1);
    ring.Enter(false);
    EXPECT_EQ(ring.Current(), &form.hides) << "the first that can take it";
    EXPECT_FALSE(ring.CanMoveWithin(true));
    // Moving on still goes round: a window without a container to hand over to keeps Tab.
    form.Key(VK_TAB);
    EXPECT_EQ(ring.Current(), &form.hides);
}

TEST_F(KeyboardAccess, EnterAndSpacePressTheFocusedControl)
{
    KeyForm form;
    FocusRing& ring = form.Access().Focus();
    form.Key(VK_RETURN);
    EXPECT_EQ(form.firstClicks, 0) << "Enter without a focused control presses nothing";

    ring.FocusOn(&form.first);
    form.Key(VK_RETURN);
    form.Key(VK_SPACE);
    EXPECT_EQ(form.firstClicks, 2);

    ring.FocusOn(&form.box);
    form.Key(VK_SPACE);
    EXPECT_TRUE(form.box.IsChecked());
    EXPECT_EQ(form.boxClicks, 1);

    // A button that hides itself when pressed hands the focus on.
    ring.FocusOn(&form.hides);
    form.Key(VK_RETURN);
    EXPECT_EQ(form.hidesClicks, 1);
    EXPECT_EQ(ring.Current(), &form.box);

    // The focus rectangle is drawn only while the window has the keyboard.
    RECT outline = FocusRing::FocusRect(form.box);
    EXPECT_EQ(outline.left, form.box.GetBounds().left - FocusRing::kFocusOutset);
    SetFocus(nullptr);
    EXPECT_EQ(ring.Current(), nullptr);
}

TEST_F(KeyboardAccess, ClientsReadTheTreeAndActOnIt)
{
    KeyForm form;
    const ComPtr<IAccessible> root = ClientOf(form.hwnd());
    ASSERT_TRUE(root);
    long count = 0;
    ASSERT_EQ(root->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, 6);
    std::vector<VARIANT> children(6);
    long got = 0;
    ASSERT_TRUE(SUCCEEDED(AccessibleChildren(root.Get(), 0, 6, children.data(), &got)));
    ASSERT_EQ(got, 6);
    for (const VARIANT& child : children)
        EXPECT_EQ(child.vt, VT_I4) << "painted controls are simple elements";

    EXPECT_EQ(RoleOf(*root.Get(), 1), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(NameOf(*root.Get(), 1), L"first") << "the accessible name wins over the caption";
    EXPECT_EQ(NameOf(*root.Get(), 2), L"B70") << "without one, the caption";
    EXPECT_TRUE(StateOf(*root.Get(), 2) & STATE_SYSTEM_UNAVAILABLE);
    EXPECT_TRUE(StateOf(*root.Get(), 3) & STATE_SYSTEM_INVISIBLE);
    EXPECT_EQ(RoleOf(*root.Get(), 5), ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_EQ(RoleOf(*root.Get(), 6), ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(NameOf(*root.Get(), 6), L"some words");

    EXPECT_EQ(root->accDoDefaultAction(Child(1)), S_OK);
    EXPECT_EQ(form.firstClicks, 1);
    EXPECT_NE(root->accDoDefaultAction(Child(2)), S_OK) << "a disabled button does nothing";
    EXPECT_EQ(root->accDoDefaultAction(Child(5)), S_OK);
    EXPECT_TRUE(StateOf(*root.Get(), 5) & STATE_SYSTEM_CHECKED);

    EXPECT_EQ(root->accSelect(SELFLAG_TAKEFOCUS, Child(4)), S_OK);
    EXPECT_TRUE(StateOf(*root.Get(), 4) & STATE_SYSTEM_FOCUSED);
    VARIANT focus;
    ASSERT_EQ(root->get_accFocus(&focus), S_OK);
    EXPECT_EQ(focus.vt, VT_I4);
    EXPECT_EQ(focus.lVal, 4);

    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(root->accLocation(&left, &top, &width, &height, Child(1)), S_OK);
    EXPECT_EQ(width, 50);
    EXPECT_EQ(height, 24);
    VARIANT hit;
    ASSERT_EQ(root->accHitTest(left + 5, top + 5, &hit), S_OK);
    EXPECT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, 1);
    EXPECT_EQ(root->get_accChildCount(&count), S_OK);
    EXPECT_EQ(root->accDoDefaultAction(Child(7)), E_INVALIDARG);
}

TEST_F(KeyboardAccess, AnObjectKeptAfterItsWindowWentIsDisconnected)
{
    ComPtr<IAccessible> kept;
    {
        KeyForm form;
        kept = ClientOf(form.hwnd());
        ASSERT_TRUE(kept);
    }
    long count = 0;
    EXPECT_EQ(kept->get_accChildCount(&count), RPC_E_DISCONNECTED);
    BSTR name = nullptr;
    EXPECT_EQ(kept->get_accName(Child(1), &name), RPC_E_DISCONNECTED);
}

TEST_F(KeyboardAccess, ChangesAreAnnounced)
{
    KeyForm form;
    g_heard.clear();
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_NAMECHANGE, nullptr, &Hear,
                                               GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    form.Key(VK_TAB);
    form.disabled.SetDisabled(0);
    form.box.SetChecked(true);
    form.text.SetText(L"other words");
    form.first.SetDisabled(0);  // no change, no event
    Pump();
    UnhookWinEvent(hook);
    EXPECT_TRUE(HeardEvent(EVENT_OBJECT_FOCUS, form.hwnd(), 1));
    EXPECT_TRUE(HeardEvent(EVENT_OBJECT_STATECHANGE, form.hwnd(), 2));
    EXPECT_TRUE(HeardEvent(EVENT_OBJECT_STATECHANGE, form.hwnd(), 5));
    EXPECT_TRUE(HeardEvent(EVENT_OBJECT_NAMECHANGE, form.hwnd(), 6));
    EXPECT_FALSE(HeardEvent(EVENT_OBJECT_STATECHANGE, form.hwnd(), 1));
}
