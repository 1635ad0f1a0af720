#pragma once
// The keyboard focus inside one window's control tree. Tab and Shift+Tab move it through the
// stops in order (wrapping), skipping those that cannot take it now (hidden, disabled); Enter
// and Space press the focused painted control. A painted control shows the focus as a
// rectangle around it while the window has the keyboard; a window-backed control (a list, a
// drop-down box) takes the window focus itself and hands Tab back to its parent window.
#include <windows.h>

#include <vector>

class ControlBase;

namespace Vantor::UI {

class FocusRing {
public:
    // The colour of the focus rectangle.
    static constexpr COLORREF kFocusColour = RGB(0, 84, 166);
    // How far the rectangle lies outside the control's bounds.
    static constexpr int kFocusOutset = 2;

    explicit FocusRing(ControlBase& root);

    // The stops in Tab order. Without one, every control of the tree in tree order (those
    // that never take the focus, such as labels, are passed over).
    void SetOrder(std::vector<ControlBase*> stops);
    std::vector<ControlBase*> Stops() const;

    // The stop that has the keyboard now, or null.
    ControlBase* Current() const;
    // The next (or previous) stop that can take the focus gets it, going round at the ends;
    // false when none can.
    bool Move(bool backwards);
    // Whether a stop after (or before) the current one can take the focus without going
    // round: at the last stop a container that hosts the window moves on to its page instead.
    bool CanMoveWithin(bool backwards) const;
    // The focus arrives from outside the window by Tab: the first stop that can take it, or
    // by Shift+Tab the last.
    void Enter(bool backwards);
    // Gives the stop the focus (its window's, or the root window's with the rectangle).
    void FocusOn(ControlBase* stop);
    // Presses the focused painted control; when that leaves it unable to keep the focus (the
    // button hid itself), the focus moves on to the next stop.
    bool PressCurrent();

    // WM_KEYDOWN on the root window: Tab, Shift+Tab, Enter and Space; false for other keys.
    bool OnKeyDown(WPARAM key);
    // WM_SETFOCUS and WM_KILLFOCUS of the root window: the rectangle shows or goes.
    void OnFocusChanged();
    // A control leaves the tree's life (its owner destroys it): the ring forgets it.
    void Forget(const ControlBase* control);

    // Draws the rectangle (after the tree painted) when the window has the keyboard.
    void Paint(HDC dc) const;
    // The rectangle around a control.
    static RECT FocusRect(const ControlBase& control);

private:
    void InvalidateFocus(const ControlBase* control) const;

    ControlBase& root_;
    std::vector<ControlBase*> order_;
    ControlBase* current_ = nullptr;  // the last stop given the focus
};

}  // namespace Vantor::UI
