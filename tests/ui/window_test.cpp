// The window layer: classes of our own, subclassed native controls, reflection of child
// notifications, and modal dialogs from the shared template.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"
#include "platform/Window.h"

using namespace Vantor::Win;

namespace {

// A subclassed EDIT that records what reaches it.
class RecordingEdit : public Window {
public:
    std::vector<UINT> reflected;
    int keyDowns = 0;
    LONG_PTR procAtNcDestroy = 0;
    bool finalMessage = false;
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_KEYDOWN)
            ++keyDowns;  // default processing still runs
        if (msg == WM_NCDESTROY)
            procAtNcDestroy = GetWindowLongPtrW(hwnd(), GWLP_WNDPROC);
        if (msg == ReflectBase + WM_COMMAND) {
            reflected.push_back(HIWORD(wParam));
            return true;
        }
        if (msg == ReflectBase + WM_CTLCOLOREDIT) {
            result = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        return false;
    }
    void OnFinalMessage() override { finalMessage = true; }
};

class Parent : public Window {
public:
    int commandsSeen = 0;

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Test.Parent"; }
    bool HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT&) override
    {
        if (msg == WM_COMMAND)
            ++commandsSeen;  // left unhandled, so it is reflected
        return false;
    }
};

TEST(Window, SubclassedEditKeepsItsBehaviourAndGetsReflectedNotifications)
{
    Parent parent;
    ASSERT_TRUE(parent.CreateWindowOfClass(nullptr, RECT{0, 0, 200, 100}, L"parent", WS_POPUP));
    EXPECT_EQ(Window::FromHandle(parent.hwnd()), &parent);

    HWND plain = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, parent.hwnd(), nullptr, nullptr, nullptr);
    const LONG_PTR nativeProc = GetWindowLongPtrW(plain, GWLP_WNDPROC);
    DestroyWindow(plain);

    RecordingEdit edit;
    ASSERT_TRUE(edit.CreateNative(L"EDIT", parent.hwnd(), RECT{0, 0, 100, 20}, L"", WS_CHILD | WS_VISIBLE));
    EXPECT_NE(GetWindowLongPtrW(edit.hwnd(), GWLP_WNDPROC), nativeProc);

    // The native procedure still does the work: text goes in and comes out.
    SetWindowTextW(edit.hwnd(), L"12345");
    wchar_t text[16]{};
    GetWindowTextW(edit.hwnd(), text, 16);
    EXPECT_STREQ(text, L"12345");
    SendMessageW(edit.hwnd(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(edit.keyDowns, 1);

    // EN_CHANGE and EN_UPDATE went to the parent, which left them, and came back to the edit.
    EXPECT_GE(parent.commandsSeen, 1);
    ASSERT_FALSE(edit.reflected.empty());
    EXPECT_NE(std::find(edit.reflected.begin(), edit.reflected.end(), EN_CHANGE), edit.reflected.end());

    // WM_CTLCOLOREDIT is answered by the child's reflected handler.
    HDC dc = GetDC(edit.hwnd());
    EXPECT_EQ(SendMessageW(parent.hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(edit.hwnd())),
              reinterpret_cast<LRESULT>(edit.brush));
    ReleaseDC(edit.hwnd(), dc);

    // On WM_NCDESTROY the control has its own procedure back before the last message runs.
    const HWND editHwnd = edit.hwnd();
    DestroyWindow(editHwnd);
    EXPECT_EQ(edit.procAtNcDestroy, nativeProc);
    EXPECT_TRUE(edit.finalMessage);
    EXPECT_EQ(edit.hwnd(), nullptr);
    EXPECT_FALSE(IsWindow(editHwnd));
}

TEST(Window, UnsubclassAndNotificationsFromForeignChildren)
{
    Parent parent;
    ASSERT_TRUE(parent.CreateWindowOfClass(nullptr, RECT{0, 0, 200, 100}, L"parent", WS_POPUP));
    // A child that is not ours gets nothing reflected: the parent's default handles it.
    HWND foreign = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, parent.hwnd(), nullptr, nullptr, nullptr);
    LRESULT result = 0;
    EXPECT_FALSE(ReflectNotification(parent.hwnd(), WM_COMMAND, MAKEWPARAM(0, EN_CHANGE),
                                     reinterpret_cast<LPARAM>(foreign), result));
    SetWindowTextW(foreign, L"x");  // must not loop or crash

    RecordingEdit edit;
    const LONG_PTR nativeProc = GetWindowLongPtrW(foreign, GWLP_WNDPROC);
    ASSERT_TRUE(edit.Subclass(foreign));
    EXPECT_FALSE(RecordingEdit().Subclass(foreign)) << "a window is subclassed by one object at a time";
    EXPECT_EQ(edit.Unsubclass(), foreign);
    EXPECT_EQ(GetWindowLongPtrW(foreign, GWLP_WNDPROC), nativeProc);
    EXPECT_EQ(Window::FromHandle(foreign), nullptr);
    DestroyWindow(foreign);
    EXPECT_FALSE(edit.finalMessage);

    // An object that goes first takes its window with it.
    HWND gone = nullptr;
    {
        RecordingEdit scoped;
        gone = scoped.CreateNative(L"EDIT", parent.hwnd(), RECT{0, 0, 10, 10}, L"", WS_CHILD);
        ASSERT_TRUE(gone);
    }
    EXPECT_FALSE(IsWindow(gone));
}

class KeyDialog : public Dialog {
public:
    explicit KeyDialog(UINT key) : key_(key) {}
    SIZE clientAtInit{};

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) override
    {
        if (msg == WM_INITDIALOG) {
            RECT r{};
            GetClientRect(hwnd(), &r);
            clientAtInit = SIZE{r.right, r.bottom};
            if (key_)
                PostMessageW(hwnd(), WM_KEYDOWN, key_, 0);
            else
                PostMessageW(hwnd(), WM_APP, 0, 0);
            result = TRUE;
            return true;
        }
        if (msg == WM_APP) {
            EndDialog(7);
            return true;
        }
        if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(LOWORD(wParam) == IDOK ? 1 : 2);
            return true;
        }
        return false;
    }

private:
    UINT key_;
};

TEST(Dialog, RunsModallyFromTheSharedTemplate)
{
    KeyDialog plain(0);
    EXPECT_EQ(plain.DoModal(nullptr), 7);
    EXPECT_GT(plain.clientAtInit.cx, 316) << "316 dialog units are wider than 316 pixels";
    EXPECT_EQ(plain.hwnd(), nullptr);

    // The dialog manager turns Enter and Escape into IDOK and IDCANCEL.
    KeyDialog enter(VK_RETURN);
    EXPECT_EQ(enter.DoModal(nullptr), 1);
    KeyDialog escape(VK_ESCAPE);
    EXPECT_EQ(escape.DoModal(nullptr), 2);
}

TEST(Dialog, ResourceAndBuiltTemplateAgree)
{
    const HRSRC found = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(235), MAKEINTRESOURCEW(5));
    ASSERT_TRUE(found) << "resource 235 is linked from res/skin.rc";
    const DialogTemplateInfo resource = ReadDialogTemplate(LockResource(LoadResource(nullptr, found)));
    const std::vector<std::uint8_t> bytes = BuildSharedDialogTemplate();
    const DialogTemplateInfo built = ReadDialogTemplate(bytes.data());
    for (const DialogTemplateInfo& info : {resource, built}) {
        EXPECT_TRUE(info.extended);
        EXPECT_EQ(info.style, static_cast<DWORD>(WS_POPUP | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS));
        EXPECT_EQ(info.items, 0);
        EXPECT_EQ(info.cx, 316);
        EXPECT_EQ(info.cy, 185);
    }
    EXPECT_EQ(ReadDialogTemplate(SharedDialogTemplate()).cx, 316);
}

}  // namespace
