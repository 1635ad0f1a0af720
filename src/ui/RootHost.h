#pragma once
// What a window needs to host a tree of painted controls under one root control: the back
// buffer it paints through, and the mouse routing — the control that takes a press gets the
// following moves and the release (the window holds the capture meanwhile), a capture taken
// away ends the press unfired, and the leaving of the mouse is asked for once per entry.
//
// Forms (FormBase) and the control window each own one and pass their window's messages to
// it; moving the window by a drag or maximising stays with the form.
#include <windows.h>

#include "platform/Handles.h"
#include "ui/ControlBase.h"
#include "ui/EventArgs.h"
#include "ui/RootAccess.h"

namespace Vantor::UI {

class RootHost {
public:
    // `leaveFlags`: what TrackMouseEvent asks for on the first move (TME_LEAVE, or with
    // TME_HOVER); `hoverTime` its hover time.
    explicit RootHost(ControlBase& root, DWORD leaveFlags = TME_LEAVE, DWORD hoverTime = HOVER_DEFAULT);
    RootHost(const RootHost&) = delete;
    RootHost& operator=(const RootHost&) = delete;

    // WM_SIZE: a back buffer of the new size (at least 1 x 1) replaces the old one.
    void ResizeBuffer(HWND hwnd, int width, int height);
    // WM_PAINT: the tree painted into the back buffer (made again when the client area's
    // size changed), then copied in one go. Nothing while the window is hidden.
    void Paint(HWND hwnd);
    // The tree painted straight into `dc` (a container's snapshot, or the back buffer).
    void PaintInto(HDC dc, HDC spare) const;

    // Mouse messages in client coordinates. The press takes the capture; true when a control
    // took it (else the window may do its own thing with it, such as a drag).
    bool ButtonDown(HWND hwnd, WPARAM keys, POINT at);
    void MouseMove(HWND hwnd, WPARAM keys, POINT at);
    void ButtonUp(WPARAM keys, POINT at);
    void MouseLeave();
    // WM_CAPTURECHANGED with the window that now has the capture.
    void CaptureChanged(HWND hwnd, HWND newCapture);
    // WM_DESTROY: the buffer goes and the press is forgotten.
    void Reset();

    // The tree's keyboard focus and accessible object (owned by the tree's owner, which sets
    // the Tab order): the focus rectangle is painted over the tree, and HandleAccessMessage
    // passes the keyboard, focus and WM_GETOBJECT messages to it.
    void SetAccess(RootAccess* access) { access_ = access; }
    RootAccess* Access() const { return access_; }
    bool HandleAccessMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    ControlBase* Pressed() const { return pressed_; }
    bool IsMouseTracked() const { return mouseTracked_; }
    HBITMAP BackBuffer() const { return buffer_.get(); }

private:
    ControlBase& root_;
    const DWORD leaveFlags_;
    const DWORD hoverTime_;
    ControlBase* pressed_ = nullptr;
    RootAccess* access_ = nullptr;
    bool mouseTracked_ = false;
    GdiObject<HBITMAP> buffer_;
    SIZE bufferSize_{};
};

}  // namespace Vantor::UI
