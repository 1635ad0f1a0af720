#pragma once
// The base of every painted control and of each window's root control: anchored layout inside
// the host window's client area, a list of children painted and given the mouse in order, and
// the hover and pressed state bits.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/AccessibleInfo.h"
#include "ui/EventArgs.h"
#include "ui/Language.h"

// Anchor flags: which host edges a control keeps its margin to.
enum AnchorFlags : unsigned {
    AnchorTop = 1,
    AnchorBottom = 2,
    AnchorLeft = 4,
    AnchorRight = 8,
    AnchorCenterV = 32,  // explicit vertical centring: same as neither top nor bottom
    AnchorCenterH = 64,  // explicit horizontal centring: same as neither left nor right
};

// State bits.
enum ControlState : unsigned {
    StateHover = 1,
    StatePressed = 4,
};

// Where a control of size (width, height) with the given margins and anchors sits inside a host
// client rectangle. Pure geometry, shared by every control's layout.
RECT ComputeAnchoredBounds(const RECT& host, const RECT& margins, unsigned anchor, int width, int height);

class ControlBase {
public:
    ControlBase() = default;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    // Virtual operations, in their fixed order.
    virtual ~ControlBase();
    virtual HWND GetHwnd() const;
    virtual void SetVisible(int flag);
    virtual void SetDisabled(int flag);
    virtual void GetHostClientRect(RECT* out) const;
    virtual void Attach(ControlBase* parent);
    virtual void Paint(Vantor::UI::CPaintEventArgs& e);
    virtual void OnLButtonDown(Vantor::UI::CMouseEventArgs& e);
    virtual void OnLButtonUp(Vantor::UI::CMouseEventArgs& e);
    virtual void OnMouseMove(Vantor::UI::CMouseEventArgs& e);
    virtual void OnMouseLeave();
    virtual void LayoutChildren();
    virtual void Layout();
    virtual void ReleaseView();

    // The keyboard and assistive technology, after the operations above.
    // Whether Tab may stop here now (the base: never).
    virtual bool CanTakeFocus() const { return false; }
    // Enter or Space on the focused control, or a client's default action: what a click
    // does. False when the control does nothing now.
    virtual bool PressByKey() { return false; }
    // What assistive technology reads of the control (the base: a client area with the
    // accessible name and the invisible and unavailable states).
    virtual Vantor::UI::AccessibleInfo Describe() const;
    // A window-backed control's window, which takes the keyboard focus itself; null for a
    // painted control.
    virtual HWND KeyboardWindow() const { return nullptr; }
    // A control whose window answers assistive technology itself (with its own items).
    virtual HWND OwnAccessibleWindow() const { return nullptr; }

    void SetSize(int width, int height);
    void SetMargins(int left, int top, int right, int bottom);
    void SetAnchor(unsigned flags);
    // The bounds the anchors, margins and size give in the current host client rectangle.
    RECT ComputeBounds() const;
    // Invalidates the bounds on the host window (no erase).
    void InvalidateBounds() const;

    // A root control (a form, the control window) names its window here; attached controls
    // take it from their parent.
    void SetHostWindow(HWND hwnd) { host_ = hwnd; }
    // The same for the whole tree under this control: a root that outlives its window names
    // the next one (or none) to every control it holds.
    void SetHostWindowTree(HWND hwnd);

    bool IsVisible() const { return visible_ != 0; }
    bool IsDisabled() const { return disabled_ != 0; }
    unsigned GetAnchor() const { return anchor_; }
    unsigned GetState() const { return state_; }
    ControlBase* GetParent() const { return parent_; }
    const RECT& GetBounds() const { return bounds_; }
    void SetBounds(const RECT& bounds) { bounds_ = bounds; }
    const RECT& GetMargins() const { return margins_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    const std::vector<ControlBase*>& GetChildren() const { return children_; }
    bool HitTest(int x, int y) const;
    // The name assistive technology reads where the control shows no words of its own (a
    // button drawn from images) or shows them differently.
    void SetAccessibleName(std::wstring name) { accessibleName_ = std::move(name); }
    const std::wstring& AccessibleName() const { return accessibleName_; }
    // The language of the words the control shows and speaks: a root (a form, the panel)
    // names it, every other control takes its parent's.
    void SetLanguage(Vantor::UI::Language language)
    {
        language_ = language;
        languageSet_ = true;
    }
    Vantor::UI::Language TextLanguage() const;

protected:
    int visible_ = 1;
    int disabled_ = 0;
    unsigned anchor_ = AnchorTop | AnchorLeft;
    unsigned state_ = 0;
    ControlBase* parent_ = nullptr;
    HWND host_ = nullptr;
    RECT margins_{};
    RECT bounds_{};
    int width_ = 0;
    int height_ = 0;
    std::vector<ControlBase*> children_;  // not owned
    std::wstring accessibleName_;
    Vantor::UI::Language language_ = Vantor::UI::Language::ZhCN;
    bool languageSet_ = false;
};
