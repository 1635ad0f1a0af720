#include "ui/ControlTreeAccessible.h"

#include "platform/Window.h"

#include "ui/AccessibleEvents.h"
#include "ui/ControlBase.h"
#include "ui/FocusRing.h"

namespace Vantor::UI {

ControlTreeAccessible::ControlTreeAccessible(ControlBase& root, FocusRing& focus) : root_(root), focus_(focus) {}

HWND ControlTreeAccessible::Window() const { return root_.GetHwnd(); }

AccessibleInfo ControlTreeAccessible::Self() const
{
    AccessibleInfo info = root_.Describe();
    info.state |= STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() && GetFocus() == Window())
        info.state |= STATE_SYSTEM_FOCUSED;
    return info;
}

ControlBase* ControlTreeAccessible::ChildControl(long index) const
{
    const std::vector<ControlBase*> children = AccessibleChildren(root_);
    return index >= 0 && index < static_cast<long>(children.size()) ? children[index] : nullptr;
}

long ControlTreeAccessible::ChildCount() const { return static_cast<long>(AccessibleChildren(root_).size()); }

AccessibleInfo ControlTreeAccessible::Child(long index) const
{
    ControlBase* const control = ChildControl(index);
    if (!control)
        return {};
    AccessibleInfo info = control->Describe();
    if (control->CanTakeFocus())
        info.state |= STATE_SYSTEM_FOCUSABLE;
    if (control == focus_.Current())
        info.state |= STATE_SYSTEM_FOCUSED;
    return info;
}

HWND ControlTreeAccessible::ChildWindow(long index) const
{
    ControlBase* const control = ChildControl(index);
    return control ? control->OwnAccessibleWindow() : nullptr;
}

RECT ControlTreeAccessible::ChildBounds(long index) const
{
    ControlBase* const control = ChildControl(index);
    if (!control)
        return RECT{};
    // A control that is a window of its own (a slider) keeps its bounds in that window's
    // coordinates: where it is, is where its window is.
    const auto* window = dynamic_cast<const Vantor::Win::Window*>(control);
    const HWND own = window ? window->hwnd() : nullptr;
    const HWND host = root_.GetHwnd();
    if (own && host && own != host && IsChild(host, own)) {
        RECT placed{};
        if (GetWindowRect(own, &placed)) {
            MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&placed), 2);
            return placed;
        }
    }
    return control->GetBounds();
}

long ControlTreeAccessible::FocusedChild() const
{
    ControlBase* const current = focus_.Current();
    if (!current)
        return -1;
    const std::vector<ControlBase*> children = AccessibleChildren(root_);
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i] == current)
            return static_cast<long>(i);
    return -1;
}

bool ControlTreeAccessible::DoDefaultAction(long index)
{
    ControlBase* const control = ChildControl(index);
    if (!control || !control->IsVisible() || control->IsDisabled())
        return false;
    return control->PressByKey();
}

bool ControlTreeAccessible::Select(long index, long flags)
{
    ControlBase* const control = ChildControl(index);
    if (!control || !(flags & SELFLAG_TAKEFOCUS) || !control->CanTakeFocus())
        return false;
    focus_.FocusOn(control);
    return true;
}

}  // namespace Vantor::UI
