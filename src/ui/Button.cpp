#include "ui/Button.h"

#include "ui/Drawing.h"
#include "ui/ImageLister.h"
#include "ui/Theme.h"
#include "ui/UiText.h"

namespace Vantor::UI::Controls {

void Button::Create(ControlBase* parent, const std::wstring& caption)
{
    Attach(parent);
    caption_ = caption;
}

void Button::SetImages(const std::string& normal, const std::string& hover, const std::string& pressed,
                       const std::string& disabled)
{
    normalImage_ = normal;
    hoverImage_ = hover;
    pressedImage_ = pressed;
    disabledImage_ = disabled;
    InvalidateBounds();
}

void Button::SetCaption(const std::wstring& caption)
{
    caption_ = caption;
    InvalidateBounds();
}

const std::string& Button::CurrentImage() const
{
    if (disabled_)
        return disabledImage_;
    if (state_ & StatePressed)
        return pressedImage_;
    if (state_ & StateHover)
        return hoverImage_;
    return normalImage_;
}

void Button::PaintBackground(CPaintEventArgs& e)
{
    ImageLister::Current()->DrawSkinStretched(e.dc, CurrentImage(), bounds_);
}

void Button::Paint(CPaintEventArgs& e)
{
    if (!visible_)
        return;
    PaintBackground(e);
    if (!caption_.empty()) {
        const Theme& theme = Theme::Instance();
        DrawTextIn(e.dc, bounds_, caption_, disabled_ ? theme.DisabledTextColor() : theme.NormalTextColor(),
                   theme.NormalFont(), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void Button::OnLButtonDown(CMouseEventArgs& e) { BeginPress(e); }

void Button::OnMouseMove(CMouseEventArgs& e)
{
    if (visible_ && !disabled_)
        TrackHover(e);
}

void Button::OnLButtonUp(CMouseEventArgs& e)
{
    if (visible_ && !disabled_ && EndPress(e, MissedRelease::ClearAll))
        Click();
}

bool Button::PressByKey()
{
    if (!visible_ || disabled_)
        return false;
    Click();
    return true;
}

AccessibleInfo Button::Describe() const
{
    AccessibleInfo info = ControlBase::Describe();
    info.role = ROLE_SYSTEM_PUSHBUTTON;
    if (info.name.empty())
        info.name = caption_;
    info.defaultAction = Text(TextLanguage(), TextId::ClickAction);
    return info;
}

}  // namespace Vantor::UI::Controls
