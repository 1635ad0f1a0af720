#include "ui/CheckBox.h"

#include "ui/AccessibleEvents.h"

#include "ui/Drawing.h"
#include "ui/ImageLister.h"
#include "ui/Theme.h"
#include "ui/UiText.h"

namespace Vantor::UI::Controls {

void CheckBox::Create(ControlBase* parent, const std::wstring& caption)
{
    Attach(parent);
    SetText(caption);
}

void CheckBox::SetText(const std::wstring& caption)
{
    const bool renamed = !caption_.empty() && caption_ != caption;
    caption_ = caption;
    const HWND hwnd = GetHwnd();
    const HDC dc = GetDC(hwnd);
    const SIZE extent = MeasureText(dc, caption_, Theme::Instance().NormalFont());
    ReleaseDC(hwnd, dc);
    SetSize(extent.cx, extent.cy);
    if (renamed) {
        InvalidateBounds();
        NotifyControlEvent(EVENT_OBJECT_NAMECHANGE, *this);
    }
}

void CheckBox::Layout()
{
    RECT host{};
    GetHostClientRect(&host);
    bounds_ = ComputeAnchoredBounds(host, margins_, anchor_, width_ + BoxWidth, height_);
    bounds_.right = bounds_.left + width_ + BoxWidth;
    bounds_.bottom = bounds_.top + BoxHeight;
}

const std::string& CheckBox::CurrentImage() const
{
    const bool hover = (state_ & StateHover) != 0;
    if (checked_)
        return hover ? checkedHoverImage_ : checkedImage_;
    return hover ? hoverImage_ : normalImage_;
}

void CheckBox::Paint(CPaintEventArgs& e)
{
    if (!visible_)
        return;
    ImageLister::Current()->DrawSkin(e.dc, CurrentImage(), POINT{bounds_.left, bounds_.top});
    RECT text = bounds_;
    OffsetRect(&text, BoxWidth, 0);
    const Theme& theme = Theme::Instance();
    DrawTextIn(e.dc, text, caption_, theme.NormalTextColor(), theme.NormalFont(),
               DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CheckBox::SetChecked(bool checked)
{
    const bool changed = checked_ != checked;
    checked_ = checked;
    InvalidateBounds();
    if (changed)
        NotifyControlEvent(EVENT_OBJECT_STATECHANGE, *this);
}

void CheckBox::OnLButtonDown(CMouseEventArgs& e) { BeginPress(e); }

void CheckBox::OnMouseMove(CMouseEventArgs& e)
{
    // The check box follows the pointer even while disabled.
    if (visible_)
        TrackHover(e);
}

void CheckBox::OnLButtonUp(CMouseEventArgs& e)
{
    // Only visibility is checked here, and a release outside keeps the hover bit.
    if (visible_ && EndPress(e, MissedRelease::ClearPressed)) {
        checked_ = !checked_;
        NotifyControlEvent(EVENT_OBJECT_STATECHANGE, *this);
        Click();
    }
}

bool CheckBox::PressByKey()
{
    if (!visible_ || disabled_)
        return false;
    checked_ = !checked_;
    InvalidateBounds();
    NotifyControlEvent(EVENT_OBJECT_STATECHANGE, *this);
    Click();
    return true;
}

AccessibleInfo CheckBox::Describe() const
{
    AccessibleInfo info = ControlBase::Describe();
    info.role = ROLE_SYSTEM_CHECKBUTTON;
    if (info.name.empty())
        info.name = caption_;
    if (checked_)
        info.state |= STATE_SYSTEM_CHECKED;
    info.defaultAction = Text(TextLanguage(), TextId::ClickAction);
    return info;
}

}  // namespace Vantor::UI::Controls
