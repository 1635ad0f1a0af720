#pragma once
// Turns a borderless window into the host of a control tree: the form is the root control. Its
// RootHost paints the tree through a back buffer and routes the mouse (a control that takes a
// press gets the following moves and the release); the form itself lets the user drag the
// window by any area no control takes, and maximises and restores.
//
// A window class that hosts a form calls ProcessWindowMessage from its message map first.
// A form holds a lease on the skin store for as long as it exists, so that its images stay
// whatever else in the process (the control that opened it) goes meanwhile.
#include <windows.h>

#include "platform/Handles.h"
#include "ui/ControlBase.h"
#include "ui/FormDrager.h"
#include "ui/ImageLister.h"
#include "ui/RootHost.h"

class IFormWindow {
public:
    virtual ~IFormWindow() = default;
    // Handles WM_DESTROY, WM_SIZE, WM_PAINT, WM_ERASEBKGND, WM_GETMINMAXINFO, WM_MOUSEMOVE,
    // WM_LBUTTONDOWN, WM_LBUTTONUP and WM_MOUSELEAVE; false for anything else.
    virtual bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // The root control's window and bounds.
    virtual void AttachWindow(HWND hwnd, int x, int y, int width, int height) = 0;
    virtual void AttachWindow(HWND hwnd, const RECT& rect) = 0;  // left, top, width, height
};

class FormBase : public IFormWindow, public ControlBase {
public:
    FormBase();
    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void AttachWindow(HWND hwnd, int x, int y, int width, int height) override;
    void AttachWindow(HWND hwnd, const RECT& rect) override;

    void ToggleMaximize();
    bool IsMaximized() const { return maximized_; }
    bool IsResizable() const { return resizable_; }
    bool IsDraggable() const { return draggable_; }
    bool IsMouseTracked() const { return root_.IsMouseTracked(); }
    bool IsDragging() const { return drager_.IsActive(); }
    ControlBase* GetCapturedControl() const { return root_.Pressed(); }
    HBITMAP GetBackBuffer() const { return root_.BackBuffer(); }
    // The form's keyboard focus (Tab through its controls) and accessible object.
    Vantor::UI::RootAccess& Access() { return access_; }

protected:
    void OnSize(HWND hwnd, int width, int height);
    void OnPaint(HWND hwnd);

    bool maximized_ = false;
    bool resizable_ = true;
    bool draggable_ = true;
    FormDrager drager_;

private:
    Vantor::UI::SkinLease skins_ = Vantor::UI::ImageLister::Acquire();
    Vantor::UI::RootAccess access_{*this};
    Vantor::UI::RootHost root_{*this, TME_HOVER | TME_LEAVE, 10};
};
