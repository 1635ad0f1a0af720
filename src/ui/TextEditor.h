#pragma once
// A one-line text box over a painted background (renaming a picture in place): the native
// EDIT control with a 1-pixel frame, grey text and no background of its own. Its owner places
// it; it takes no part in anchored layout.
#include "platform/Handles.h"
#include "platform/Window.h"

class TextEditor : public Vantor::Win::Window {
public:
    TextEditor();
    ~TextEditor() override;

    // Creates the box hidden.
    HWND Create(HWND parent, const RECT& rect);
    // Shows it at `rect`, with its one line of text centred vertically.
    void Place(const RECT& rect);

    COLORREF GetTextColor() const { return textColor_; }

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    Vantor::GdiObject<HFONT> font_;
    COLORREF textColor_ = RGB(130, 130, 130);
    COLORREF border_ = RGB(100, 100, 100);
};
