#pragma once
// One window's accessible object: an IAccessible that reads an AccessibleSource. Children are
// simple elements (child ids 1..n) unless the source says a child is a window of its own, whose
// object then stands for it. The window's owner keeps the object in an AccessibleHost, which
// answers WM_GETOBJECT and cuts the object loose from the source when the window goes: a
// client that still holds it then gets "disconnected" from every call.
#include <windows.h>
#include <oleacc.h>

#include <vector>

#include "platform/Handles.h"
#include "ui/AccessibleInfo.h"

namespace Vantor::UI {

class SourceAccessible;

class AccessibleSource {
public:
    virtual ~AccessibleSource() = default;
    virtual HWND Window() const = 0;
    virtual AccessibleInfo Self() const = 0;
    virtual long ChildCount() const = 0;
    // `index` is 0-based (child id minus one) and within ChildCount.
    virtual AccessibleInfo Child(long index) const = 0;
    // A child that is a window of its own (its object answers for it), or null.
    virtual HWND ChildWindow(long index) const { return nullptr; }
    // In the window's client coordinates.
    virtual RECT ChildBounds(long index) const = 0;
    // The child with the keyboard focus while the window has it: -1 for the window itself.
    virtual long FocusedChild() const { return -1; }
    virtual std::vector<long> SelectedChildren() const { return {}; }
    // The child under a client point, or -1.
    virtual long ChildAt(POINT client) const;
    // -1: the window itself. False when the element has no default action now.
    virtual bool DoDefaultAction(long index) = 0;
    // SELFLAG_* on a child; false when the element does not take it.
    virtual bool Select(long index, long flags) { return false; }
};

class AccessibleHost {
public:
    explicit AccessibleHost(AccessibleSource& source);
    ~AccessibleHost();
    AccessibleHost(const AccessibleHost&) = delete;
    AccessibleHost& operator=(const AccessibleHost&) = delete;

    // WM_GETOBJECT: answers OBJID_CLIENT with the object (made on the first question);
    // false for every other object id, which the default window procedure answers.
    bool Answer(WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The window is going: the object stops reading the source.
    void Disconnect();

private:
    AccessibleSource& source_;
    ComPtr<SourceAccessible> object_;
};

// The object of a window's client area as a client sees it (WM_GETOBJECT, or the system's
// default object); null when there is none.
ComPtr<IDispatch> ClientObjectOf(HWND window);

}  // namespace Vantor::UI
