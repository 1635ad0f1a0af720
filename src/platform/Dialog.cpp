#include "platform/Dialog.h"

#include "platform/DialogTemplate.h"

namespace Vantor::Win {

namespace {

thread_local Dialog* t_starting = nullptr;
thread_local std::vector<Dialog*> t_running;  // DoModal calls in progress, outermost first

// Messages whose answer the dialog procedure returns directly instead of in DWLP_MSGRESULT.
bool AnswersDirectly(UINT msg)
{
    switch (msg) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

}  // namespace

INT_PTR Dialog::DoModal(HWND parent)
{
    if (hwnd())
        return -1;
    t_starting = this;
    t_running.push_back(this);
    const INT_PTR result =
        DialogBoxIndirectParamW(ThisModule(), SharedDialogTemplate(), parent, &Dialog::DialogProc,
                                reinterpret_cast<LPARAM>(this));
    t_running.pop_back();
    t_starting = nullptr;
    return result;
}

std::vector<HWND> Dialog::OpenModalDialogs()
{
    std::vector<HWND> open;
    for (const Dialog* dialog : t_running)
        open.push_back(dialog->hwnd());  // null until its window exists
    return open;
}

void Dialog::EndDialog(INT_PTR result)
{
    if (hwnd())
        ::EndDialog(hwnd(), result);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<Dialog*>(FromHandle(hwnd));
    if (!self) {
        self = msg == WM_INITDIALOG ? reinterpret_cast<Dialog*>(lParam) : t_starting;
        if (!self)
            return FALSE;
        t_starting = nullptr;
        self->AttachHandle(hwnd);
    }
    if (msg == WM_NCDESTROY) {
        LRESULT ignored = 0;
        try {
            self->HandleMessage(msg, wParam, lParam, ignored);
        } catch (...) {
        }
        self->DetachHandle();
        try {
            self->OnFinalMessage();
        } catch (...) {
        }
        return FALSE;
    }

    LRESULT result = 0;
    bool handled = false;
    try {
        handled = self->HandleMessage(msg, wParam, lParam, result);
    } catch (...) {
        handled = false;
        result = 0;
    }
    if (!handled && self->ReflectsNotifications())
        handled = ReflectNotification(hwnd, msg, wParam, lParam, result);
    if (!handled && IsReflectedMessage(msg)) {
        result = DefWindowProcW(hwnd, msg - ReflectBase, wParam, lParam);
        handled = true;
    }
    if (!handled)
        return msg == WM_INITDIALOG ? TRUE : FALSE;
    if (AnswersDirectly(msg))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace Vantor::Win
