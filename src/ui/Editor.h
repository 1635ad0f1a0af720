#pragma once
// A numeric edit box: the native EDIT control, subclassed, with a 1-pixel frame of its own,
// the interface font and signals for focus, mouse, keys and text changes. Enter, Ctrl+Enter,
// Escape, Up and Down are turned into signals and not given to the control.
#include <boost/signals2/signal.hpp>

#include <string>

#include "platform/Handles.h"
#include "platform/Window.h"
#include "ui/ControlBase.h"

class Editor : public Vantor::Win::Window, public ControlBase {
public:
    boost::signals2::signal<void()> FocusGained;
    boost::signals2::signal<void()> MouseMoved;
    boost::signals2::signal<void()> MousePressed;
    boost::signals2::signal<void()> FocusLost;
    boost::signals2::signal<void()> EscapePressed;
    boost::signals2::signal<void()> EnterPressed;
    boost::signals2::signal<void()> CtrlEnterPressed;
    boost::signals2::signal<void()> UpPressed;
    boost::signals2::signal<void()> DownPressed;
    boost::signals2::signal<void()> TextChanged;

    Editor();
    ~Editor() override;

    // Options, read by Create: a non-zero limit also makes the box multi-line.
    void SetLimit(int characters) { limit_ = characters; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    void SetPassword(bool password) { password_ = password; }

    virtual HWND Create(HWND parent);
    virtual HWND Create(HWND parent, int x, int y, int width, int height);

    void SetVisible(int flag) override;
    // Creates the window as a child of the parent's window, then attaches.
    void Attach(ControlBase* parent) override;
    void Layout() override;

    void SetInt(int value);
    int GetInt() const;
    std::wstring GetText() const;

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    DWORD Style() const;

    int limit_ = 0;
    int readOnly_ = 0;
    int password_ = 0;
    COLORREF border_ = RGB(181, 184, 200);
    Vantor::GdiObject<HFONT> font_;
};

// Non-client handling shared by the edit boxes: a 1-pixel frame in `color`.
bool HandleOnePixelFrame(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, COLORREF color, LRESULT& result);
