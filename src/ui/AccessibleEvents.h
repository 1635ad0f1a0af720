#pragma once
// How a window's tree of painted controls appears to assistive technology: the root control is
// the window's client object, every control under it (depth first) one of its children, and
// the events about a control name the window and the control's child id.
#include <windows.h>

#include <vector>

class ControlBase;

namespace Vantor::UI {

// The controls under the root in the order a client reads them (depth first; the controls
// under one whose window answers for itself belong to that window).
std::vector<ControlBase*> AccessibleChildren(const ControlBase& root);
// The top of the control's tree.
const ControlBase& TreeRoot(const ControlBase& control);
// The control's child id in its root's client object: CHILDID_SELF for the root, 0 when the
// control is not in the tree.
long ChildIdOf(const ControlBase& control);
// NotifyWinEvent for the control (on its own window when it answers for itself); nothing
// before the tree has a window.
void NotifyControlEvent(DWORD event, const ControlBase& control);

}  // namespace Vantor::UI
