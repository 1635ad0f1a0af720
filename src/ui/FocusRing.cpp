#include "ui/FocusRing.h"

#include <oleacc.h>

#include <algorithm>

#include "platform/Handles.h"
#include "ui/AccessibleEvents.h"
#include "ui/ControlBase.h"

namespace Vantor::UI {

FocusRing::FocusRing(ControlBase& root) : root_(root) {}

void FocusRing::SetOrder(std::vector<ControlBase*> stops) { order_ = std::move(stops); }

std::vector<ControlBase*> FocusRing::Stops() const
{
    if (!order_.empty())
        return order_;
    // Every control of the tree: those that cannot take the focus now are passed over when
    // the focus moves, and keep their place for when they can again.
    return AccessibleChildren(root_);
}

ControlBase* FocusRing::Current() const
{
    const HWND focus = GetFocus();
    if (!focus)
        return nullptr;
    for (ControlBase* stop : Stops()) {
        const HWND window = stop->KeyboardWindow();
        if (window && (focus == window || IsChild(window, focus)))
            return stop;
    }
    if (focus == root_.GetHwnd() && current_ && !current_->KeyboardWindow() && current_->CanTakeFocus())
        return current_;
    return nullptr;
}

bool FocusRing::Move(bool backwards)
{
    const std::vector<ControlBase*> stops = Stops();
    const int count = static_cast<int>(stops.size());
    if (count == 0)
        return false;
    ControlBase* from = Current();
    if (!from && GetFocus() == root_.GetHwnd())
        from = current_;  // a stop that hid itself: go on from its place
    const auto found = std::find(stops.begin(), stops.end(), from);
    int index = found == stops.end() ? (backwards ? count : -1) : static_cast<int>(found - stops.begin());
    for (int step = 0; step < count; ++step) {
        index = (index + (backwards ? count - 1 : 1)) % count;
        if (stops[index]->CanTakeFocus()) {
            FocusOn(stops[index]);
            return true;
        }
    }
    return false;
}

bool FocusRing::CanMoveWithin(bool backwards) const
{
    const std::vector<ControlBase*> stops = Stops();
    ControlBase* from = Current();
    if (!from && GetFocus() == root_.GetHwnd())
        from = current_;
    const auto found = std::find(stops.begin(), stops.end(), from);
    if (found == stops.end())
        return std::any_of(stops.begin(), stops.end(), [](ControlBase* stop) { return stop->CanTakeFocus(); });
    if (backwards)
        return std::any_of(stops.begin(), found, [](ControlBase* stop) { return stop->CanTakeFocus(); });
    return std::any_of(found + 1, stops.end(), [](ControlBase* stop) { return stop->CanTakeFocus(); });
}

void FocusRing::Enter(bool backwards)
{
    const std::vector<ControlBase*> stops = Stops();
    if (backwards) {
        for (auto stop = stops.rbegin(); stop != stops.rend(); ++stop)
            if ((*stop)->CanTakeFocus())
                return FocusOn(*stop);
    } else {
        for (ControlBase* stop : stops)
            if (stop->CanTakeFocus())
                return FocusOn(stop);
    }
}

void FocusRing::FocusOn(ControlBase* stop)
{
    if (!stop)
        return;
    const ControlBase* before = current_;
    current_ = stop;
    InvalidateFocus(before);
    if (const HWND window = stop->KeyboardWindow()) {
        SetFocus(window);
        // A window that answers for itself tells of its focus; for the others the tree does.
        if (!stop->OwnAccessibleWindow())
            NotifyControlEvent(EVENT_OBJECT_FOCUS, *stop);
        return;
    }
    const HWND host = root_.GetHwnd();
    if (host && GetFocus() != host)
        SetFocus(host);
    InvalidateFocus(stop);
    NotifyControlEvent(EVENT_OBJECT_FOCUS, *stop);
}

bool FocusRing::PressCurrent()
{
    ControlBase* const stop = Current();
    if (!stop || stop->KeyboardWindow())
        return false;
    const bool pressed = stop->PressByKey();
    // The press may have closed the window or hidden the control (upload gives way to cancel).
    if (current_ == stop && !stop->CanTakeFocus() && root_.GetHwnd() && GetFocus() == root_.GetHwnd())
        Move(false);
    return pressed;
}

bool FocusRing::OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_TAB:
        Move(GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_RETURN:
    case VK_SPACE:
        return PressCurrent();
    default:
        return false;
    }
}

void FocusRing::OnFocusChanged() { InvalidateFocus(current_); }

void FocusRing::Forget(const ControlBase* control)
{
    if (current_ == control)
        current_ = nullptr;
    order_.erase(std::remove(order_.begin(), order_.end(), control), order_.end());
}

RECT FocusRing::FocusRect(const ControlBase& control)
{
    RECT rect = control.GetBounds();
    InflateRect(&rect, kFocusOutset, kFocusOutset);
    return rect;
}

void FocusRing::InvalidateFocus(const ControlBase* control) const
{
    const HWND host = root_.GetHwnd();
    if (!control || !host || control->KeyboardWindow())
        return;
    RECT rect = FocusRect(*control);
    InflateRect(&rect, 1, 1);
    InvalidateRect(host, &rect, FALSE);
}

void FocusRing::Paint(HDC dc) const
{
    ControlBase* const stop = Current();
    if (!dc || !stop || stop->KeyboardWindow())
        return;
    const RECT rect = FocusRect(*stop);
    const GdiObject<HBRUSH> brush(CreateSolidBrush(kFocusColour));
    FrameRect(dc, &rect, brush.get());
}

}  // namespace Vantor::UI
