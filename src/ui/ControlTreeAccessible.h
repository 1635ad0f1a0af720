#pragma once
// The accessible view of a window's painted control tree: the root control is the client
// object, the controls under it its children (AccessibleEvents gives their order and ids), a
// control whose window answers for itself stands as that window's object. The focus is the
// focus ring's.
#include "ui/AccessibleObject.h"

class ControlBase;

namespace Vantor::UI {

class FocusRing;

class ControlTreeAccessible : public AccessibleSource {
public:
    ControlTreeAccessible(ControlBase& root, FocusRing& focus);

    HWND Window() const override;
    AccessibleInfo Self() const override;
    long ChildCount() const override;
    AccessibleInfo Child(long index) const override;
    HWND ChildWindow(long index) const override;
    RECT ChildBounds(long index) const override;
    long FocusedChild() const override;
    bool DoDefaultAction(long index) override;
    bool Select(long index, long flags) override;

private:
    ControlBase* ChildControl(long index) const;

    ControlBase& root_;
    FocusRing& focus_;
};

}  // namespace Vantor::UI
