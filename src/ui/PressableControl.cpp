#include "ui/PressableControl.h"

namespace Vantor::UI::Controls {

bool PressableControl::CanTakeFocus() const { return visible_ && !disabled_ && GetHwnd(); }

void PressableControl::BeginPress(CMouseEventArgs& e)
{
    if (!visible_ || disabled_ || !HitTest(e.x, e.y))
        return;
    state_ |= StatePressed;
    e.handled = true;
    e.handler = this;
    InvalidateBounds();
}

void PressableControl::TrackHover(const CMouseEventArgs& e)
{
    if (state_ & StatePressed)
        return;
    const unsigned before = state_;
    if (HitTest(e.x, e.y))
        state_ |= StateHover;
    else
        state_ &= ~StateHover;
    if (state_ != before)
        InvalidateBounds();
}

bool PressableControl::EndPress(const CMouseEventArgs& e, MissedRelease missed)
{
    if (!(state_ & StatePressed))
        return false;
    const bool inside = HitTest(e.x, e.y);
    if (inside || missed == MissedRelease::ClearPressed)
        state_ &= ~StatePressed;
    else
        state_ = 0;
    InvalidateBounds();
    return inside;
}

}  // namespace Vantor::UI::Controls
