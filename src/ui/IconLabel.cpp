#include "ui/IconLabel.h"

#include "ui/AccessibleEvents.h"

#include "ui/Drawing.h"
#include "ui/ImageLister.h"
#include "ui/Theme.h"
#include "ui/UiText.h"

namespace Vantor::UI::Controls {

void IconLabel::Create(ControlBase* parent, const std::wstring& caption, const std::string& icon)
{
    Attach(parent);
    icon_ = icon;
    SetText(caption);
}

void IconLabel::SetText(const std::wstring& caption)
{
    caption_ = caption;
    const HWND hwnd = GetHwnd();
    const HDC dc = GetDC(hwnd);
    const SIZE extent = MeasureText(dc, caption_, Theme::Instance().NormalFont());
    ReleaseDC(hwnd, dc);
    const SIZE icon = ImageLister::Current()->GetSize(icon_);
    SetSize(extent.cx + (icon.cx > 0 ? icon.cx + gap_ : 0), extent.cy);
    InvalidateBounds();
    NotifyControlEvent(EVENT_OBJECT_NAMECHANGE, *this);
}

bool IconLabel::PressByKey()
{
    if (!visible_ || disabled_)
        return false;
    Click(this);
    return true;
}

AccessibleInfo IconLabel::Describe() const
{
    AccessibleInfo info = ControlBase::Describe();
    info.role = ROLE_SYSTEM_PUSHBUTTON;
    if (info.name.empty())
        info.name = caption_;
    info.defaultAction = Text(TextLanguage(), TextId::ClickAction);
    return info;
}

void IconLabel::PaintBackground(CPaintEventArgs& e)
{
    const POINT at{bounds_.left, bounds_.top};
    if (disabled_)
        ImageLister::Current()->DrawSkinGray(e.dc, icon_, at);
    else
        ImageLister::Current()->DrawSkin(e.dc, icon_, at);
}

void IconLabel::Paint(CPaintEventArgs& e)
{
    if (!visible_)
        return;
    PaintBackground(e);
    RECT text = bounds_;
    text.left += ImageLister::Current()->GetSize(icon_).cx + gap_;
    const Theme& theme = Theme::Instance();
    DrawTextIn(e.dc, text, caption_, disabled_ ? theme.DisabledTextColor() : theme.NormalTextColor(),
               theme.NormalFont(), DT_VCENTER | DT_SINGLELINE);
}

void IconLabel::OnLButtonDown(CMouseEventArgs& e) { BeginPress(e); }

void IconLabel::OnMouseMove(CMouseEventArgs& e)
{
    if (visible_ && !disabled_)
        TrackHover(e);
}

void IconLabel::OnLButtonUp(CMouseEventArgs& e)
{
    if (visible_ && !disabled_ && EndPress(e, MissedRelease::ClearAll))
        Click(this);
}

}  // namespace Vantor::UI::Controls
