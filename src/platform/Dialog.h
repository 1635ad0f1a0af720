#pragma once
// Modal dialogs run by the system's dialog manager from the shared dialog template (resource
// 235). A derived dialog handles its messages in HandleMessage like any Window; unhandled ones
// go to the dialog manager (so Enter and Escape arrive as WM_COMMAND IDOK and IDCANCEL).
#include "platform/Window.h"

#include <vector>

namespace Vantor::Win {

class Dialog : public Window {
public:
    // Runs the dialog modally, owned by `parent`; returns what EndDialog gave, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal(HWND parent);
    void EndDialog(INT_PTR result);

    // The modal dialogs running on the calling thread, outermost first.
    static std::vector<HWND> OpenModalDialogs();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

}  // namespace Vantor::Win
