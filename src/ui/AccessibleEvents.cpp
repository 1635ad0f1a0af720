#include "ui/AccessibleEvents.h"

#include <oleacc.h>

#include "ui/ControlBase.h"

namespace Vantor::UI {
namespace {

void Collect(const ControlBase& control, std::vector<ControlBase*>& out)
{
    for (ControlBase* child : control.GetChildren()) {
        if (!child)
            continue;
        out.push_back(child);
        if (!child->OwnAccessibleWindow())
            Collect(*child, out);
    }
}

}  // namespace

std::vector<ControlBase*> AccessibleChildren(const ControlBase& root)
{
    std::vector<ControlBase*> out;
    Collect(root, out);
    return out;
}

const ControlBase& TreeRoot(const ControlBase& control)
{
    const ControlBase* top = &control;
    while (top->GetParent())
        top = top->GetParent();
    return *top;
}

long ChildIdOf(const ControlBase& control)
{
    const ControlBase& root = TreeRoot(control);
    if (&root == &control)
        return CHILDID_SELF;
    const std::vector<ControlBase*> children = AccessibleChildren(root);
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i] == &control)
            return static_cast<long>(i + 1);
    return 0;
}

void NotifyControlEvent(DWORD event, const ControlBase& control)
{
    if (const HWND own = control.OwnAccessibleWindow()) {
        NotifyWinEvent(event, own, OBJID_CLIENT, CHILDID_SELF);
        return;
    }
    const HWND window = TreeRoot(control).GetHwnd();
    if (!window || !IsWindow(window))
        return;
    const long id = ChildIdOf(control);
    if (id != 0 || &TreeRoot(control) == &control)
        NotifyWinEvent(event, window, OBJID_CLIENT, id);
}

}  // namespace Vantor::UI
