#pragma once
// A horizontal slider in a child window of its own, 15 pixels high. The thumb follows the
// pointer from where it was grabbed: pressed on the thumb it keeps that spot under the
// pointer; pressed on the track it comes to the pointer (centred on it) and follows from
// there. Each move fires ValueChanged with the value under the thumb, and letting go fires
// DragEnded; SetValue moves the thumb without firing. The window is created hidden by Create(parent); the owner shows it
// with SetVisible.
//
// Geometry: with extent E = maximum - minimum, usable width U = width - thumb width,
// position = trunc((value - minimum) / E * U) and value = trunc(E * (position / U) + minimum).
#include <boost/signals2/signal.hpp>

#include "platform/Window.h"
#include "ui/ControlBase.h"

class TrackBar : public Vantor::Win::Window, public ControlBase {
public:
    boost::signals2::signal<void(int)> ValueChanged;
    // The thumb was let go (or the drag lost the mouse), with the value it stands for.
    boost::signals2::signal<void(int)> DragEnded;

    TrackBar() = default;
    ~TrackBar() override = default;

    // Creates the slider window hidden, as a child of `parent`.
    virtual HWND Create(HWND parent);
    // Creates it visible at `rect` (height forced to 15).
    virtual HWND Create(HWND parent, const RECT& rect);
    virtual void PaintTrack(HDC dc);
    virtual void PaintThumb(HDC dc);

    void SetVisible(int flag) override;
    void OnMouseLeave() override;
    // Places the window by its anchors; the value stays and the thumb moves in proportion.
    void Layout() override;

    void SetRange(int minimum, int maximum);
    void SetValue(int value);
    int GetValue() const { return value_; }
    int GetMinimum() const { return minimum_; }
    int GetMaximum() const { return maximum_; }
    int GetThumbPosition() const { return position_; }
    int GetThumbWidth() const { return thumbWidth_; }
    bool IsDragging() const { return dragging_; }

    // The slider formulas, for a usable width (width - thumb width).
    static int PositionFromValue(int value, int minimum, int maximum, int usable);
    static int ValueFromPosition(int position, int minimum, int maximum, int usable);

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* ClassName() const override { return L"Vantor.TrackBar"; }
    int Usable() const { return (bounds_.right - bounds_.left) - thumbWidth_; }
    void Repaint();
    // The thumb under the pointer at x (keeping the grab offset), and the value it gives.
    void MoveThumbTo(int x);

    COLORREF trackFill_ = RGB(246, 175, 58);
    COLORREF trackBorder_ = RGB(221, 221, 221);
    COLORREF thumbFill_ = RGB(255, 255, 255);
    COLORREF thumbBorder_ = RGB(204, 204, 204);
    int position_ = 0;
    int grabOffset_ = 0;  // where in the thumb the pointer holds it
    int minimum_ = 0;
    int maximum_ = 100;
    int thumbWidth_ = 15;
    int thumbHeight_ = 15;
    bool dragging_ = false;
    int value_ = 0;  // the value the thumb stands for, kept exactly across resizing
};

// The slider of the editing panels: a slimmer, two-tone track and a pale blue thumb.
class ExtTrackBar : public TrackBar {
public:
    ExtTrackBar();
    void PaintTrack(HDC dc) override;
    void PaintThumb(HDC dc) override;
};
