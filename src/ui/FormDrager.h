#pragma once
// Moves a window while the user drags it by an empty area of its client.
#include <windows.h>

class FormDrager {
public:
    // `at` is the cursor in the window's client coordinates.
    void Start(HWND hwnd, POINT at);
    void Move(POINT at);
    void Stop() { active_ = false; }
    bool IsActive() const { return active_; }

private:
    bool active_ = false;
    POINT start_{};      // cursor at the start, screen coordinates
    RECT startRect_{};   // window rectangle at the start, in its parent's coordinates
    HWND hwnd_ = nullptr;
};
