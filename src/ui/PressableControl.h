#pragma once
// The mouse states shared by the painted controls that can be clicked (button, check box,
// icon label): a press on the control claims the mouse, hover follows the pointer while not
// pressed, and a release inside after a press is a click. The pieces are non-virtual so that
// each control keeps its own handlers (and its own virtual operations after ControlBase's) and
// says there what differs: which checks apply, what a click does.
#include "ui/ControlBase.h"

namespace Vantor::UI::Controls {

class PressableControl : public ControlBase {
public:
    // A visible, enabled control in a window takes the keyboard focus.
    bool CanTakeFocus() const override;

protected:
    // What a release outside the control clears.
    enum class MissedRelease {
        ClearAll,      // every state bit, hover included
        ClearPressed,  // the pressed bit only
    };

    // On a visible, enabled control under the point: sets the pressed bit, marks the arguments
    // handled by this control (the form then sends it the moves and the release) and repaints.
    void BeginPress(Vantor::UI::CMouseEventArgs& e);
    // While not pressed: sets the hover bit when the point is inside, clears it when outside,
    // and repaints only when the bit changed.
    void TrackHover(const Vantor::UI::CMouseEventArgs& e);
    // Ends a press: does nothing (and returns false) without one. Otherwise clears the pressed
    // bit (or, released outside, what `missed` says), repaints, and returns whether the release
    // was inside, which is a click.
    bool EndPress(const Vantor::UI::CMouseEventArgs& e, MissedRelease missed);
};

}  // namespace Vantor::UI::Controls
