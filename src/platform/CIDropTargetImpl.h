#pragma once
// The base of every window that takes OLE drops: it decides whether a drag is welcome and
// with which effect, and hands what is dropped to the owner's OnDrop... operations.
//
// Contract:
// - RegisterDropTarget(window) registers the target for the window; the owner calls
//   RevokeDropTarget when the window is destroyed (WM_DESTROY). The destructor revokes too.
// - The system holds its references to a small COM object of its own (DropTarget()), not to
//   the owner. That object forwards to the owner until the owner revokes or is destroyed;
//   after that it answers every drag with no effect. So references the platform keeps after
//   RevokeDragDrop, or a drag loop still running, never reach a destroyed owner.
// - A drag is welcome when the target is enabled and the data offers files (CF_HDROP) or a
//   format of ClipFormats. Files are always taken as a copy (DROPEFFECT_COPY when the source
//   allows it): a source told "move" may delete the user's originals. Other data follows
//   the key rule of ChooseEffect.
// - Drop tries files, then a bitmap, then a registered format, and reports in `effect` what
//   the owner's handler says it did: DROPEFFECT_NONE when nothing was taken.
// - Handlers run on the window thread inside the drop; exceptions never leave the target.
#include "platform/Handles.h"

#include <oleidl.h>
#include <shellapi.h>

namespace Vantor {

class CIDropTargetImpl {
public:
    CIDropTargetImpl();
    virtual ~CIDropTargetImpl();
    CIDropTargetImpl(const CIDropTargetImpl&) = delete;
    CIDropTargetImpl& operator=(const CIDropTargetImpl&) = delete;

    // RegisterDragDrop for the window; the window must belong to this thread.
    HRESULT RegisterDropTarget(HWND window);
    // RevokeDragDrop, once; later calls do nothing.
    void RevokeDropTarget();
    bool IsRegistered() const { return window_ != nullptr; }

    // A disabled target refuses every drag that enters after the change.
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool IsEnabled() const { return enabled_; }

    // The COM object the system holds for this target.
    IDropTarget* DropTarget() const;

    // The key rule for data that is not files (allowed = what the source allows): Ctrl →
    // copy, else Shift → move, each only when allowed; with no choice, move if allowed,
    // else copy if allowed, else none.
    static DWORD ChooseEffect(DWORD keyState, DWORD allowed);

    // IDropTarget's members, as the COM object forwards them.
    HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect);
    HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect);
    HRESULT DragLeave();
    HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect);

protected:
    // What the owner did with a drop: DROPEFFECT_COPY (or the effect passed in) when it took
    // something, DROPEFFECT_NONE when it took nothing. The base takes nothing.
    virtual DWORD OnDropFiles(HDROP drop);
    // The bitmap belongs to the drop: copy it to keep it.
    virtual DWORD OnDropBitmap(HBITMAP bitmap);
    // Data in a registered format; `effect` is the one the key rule chose, `point` is in
    // screen coordinates.
    virtual DWORD OnDropCustom(IDataObject* data, DWORD keyState, POINTL point, DWORD effect);
    // Whether data in a registered format is welcome here (asked when the drag enters); the
    // base welcomes it.
    virtual bool AcceptsCustom(IDataObject* data) { return true; }

private:
    DWORD EffectFor(DWORD keyState, DWORD allowed) const;

    class Link;
    ComPtr<Link> link_;
    HWND window_ = nullptr;
    bool enabled_ = true;
    bool acceptable_ = false;  // the drag in progress is welcome
    bool files_ = false;       // the drag in progress carries files
};

}  // namespace Vantor
