#include "ui/ControlBase.h"

#include "ui/AccessibleEvents.h"

using Vantor::UI::CMouseEventArgs;
using Vantor::UI::CPaintEventArgs;

RECT ComputeAnchoredBounds(const RECT& host, const RECT& m, unsigned anchor, int width, int height)
{
    RECT r{};
    const bool left = (anchor & AnchorLeft) != 0;
    const bool right = (anchor & AnchorRight) != 0;
    if (left && right) {
        r.left = host.left + m.left;
        r.right = host.right - m.right;
    } else if (left) {
        r.left = host.left + m.left;
        r.right = r.left + width;
    } else if (right) {
        r.right = host.right - m.right;
        r.left = r.right - width;
    } else {
        r.left = (host.right - width - host.left) / 2;
        r.right = r.left + width;
    }

    const bool top = (anchor & AnchorTop) != 0;
    const bool bottom = (anchor & AnchorBottom) != 0;
    if (top && bottom) {
        r.top = host.top + m.top;
        r.bottom = host.bottom - m.bottom;
    } else if (top) {
        r.top = host.top + m.top;
        r.bottom = r.top + height;
    } else if (bottom) {
        r.top = host.bottom - m.bottom - height;
        r.bottom = r.top + height;
    } else {
        r.top = (host.bottom - host.top - height) / 2;
        r.bottom = r.top + height;
    }
    return r;
}

ControlBase::~ControlBase() { children_.clear(); }

HWND ControlBase::GetHwnd() const { return host_; }

void ControlBase::SetVisible(int flag)
{
    const bool changed = (visible_ != 0) != (flag != 0);
    visible_ = flag;
    InvalidateBounds();
    if (changed)
        Vantor::UI::NotifyControlEvent(EVENT_OBJECT_STATECHANGE, *this);
}

void ControlBase::SetDisabled(int flag)
{
    const bool changed = (disabled_ != 0) != (flag != 0);
    disabled_ = flag;
    InvalidateBounds();
    if (changed)
        Vantor::UI::NotifyControlEvent(EVENT_OBJECT_STATECHANGE, *this);
}

Vantor::UI::Language ControlBase::TextLanguage() const
{
    for (const ControlBase* control = this; control; control = control->parent_)
        if (control->languageSet_)
            return control->language_;
    return Vantor::UI::Language::ZhCN;
}

Vantor::UI::AccessibleInfo ControlBase::Describe() const
{
    Vantor::UI::AccessibleInfo info;
    info.name = accessibleName_;
    if (!visible_)
        info.state |= STATE_SYSTEM_INVISIBLE;
    if (disabled_)
        info.state |= STATE_SYSTEM_UNAVAILABLE;
    return info;
}

void ControlBase::GetHostClientRect(RECT* out) const
{
    if (!out)
        return;
    *out = RECT{};
    if (host_ && IsWindow(host_))
        GetClientRect(host_, out);
}

void ControlBase::Attach(ControlBase* parent)
{
    if (!parent)
        return;
    host_ = parent->GetHwnd();
    parent_ = parent;
    parent->children_.push_back(this);
}

void ControlBase::Paint(CPaintEventArgs& e)
{
    for (ControlBase* child : children_)
        child->Paint(e);
}

void ControlBase::OnLButtonDown(CMouseEventArgs& e)
{
    for (ControlBase* child : children_)
        child->OnLButtonDown(e);
}

void ControlBase::OnLButtonUp(CMouseEventArgs& e)
{
    for (ControlBase* child : children_)
        child->OnLButtonUp(e);
}

void ControlBase::OnMouseMove(CMouseEventArgs& e)
{
    for (ControlBase* child : children_)
        child->OnMouseMove(e);
}

void ControlBase::OnMouseLeave()
{
    if (state_ & StateHover) {
        state_ &= ~StateHover;
        InvalidateBounds();
    }
    for (ControlBase* child : children_)
        child->OnMouseLeave();
}

void ControlBase::LayoutChildren()
{
    for (ControlBase* child : children_)
        child->Layout();
}

void ControlBase::Layout() { bounds_ = ComputeBounds(); }

void ControlBase::SetHostWindowTree(HWND hwnd)
{
    host_ = hwnd;
    for (ControlBase* child : children_)
        child->SetHostWindowTree(hwnd);
}

void ControlBase::ReleaseView()
{
    for (ControlBase* child : children_)
        child->ReleaseView();
}

void ControlBase::SetSize(int width, int height)
{
    width_ = width;
    height_ = height;
}

void ControlBase::SetMargins(int left, int top, int right, int bottom)
{
    margins_ = RECT{left, top, right, bottom};
}

void ControlBase::SetAnchor(unsigned flags) { anchor_ = flags; }

RECT ControlBase::ComputeBounds() const
{
    RECT host{};
    GetHostClientRect(&host);
    return ComputeAnchoredBounds(host, margins_, anchor_, width_, height_);
}

void ControlBase::InvalidateBounds() const
{
    if (host_)
        InvalidateRect(host_, &bounds_, FALSE);
}

bool ControlBase::HitTest(int x, int y) const
{
    const POINT p{x, y};
    return PtInRect(&bounds_, p) != FALSE;
}
