#include "ui/Label.h"

#include "ui/AccessibleEvents.h"

#include "ui/Drawing.h"
#include "ui/Theme.h"

void Label::Create(ControlBase* parent, const std::wstring& text)
{
    Attach(parent);
    SetText(text);
}

void Label::SetText(const std::wstring& text)
{
    InvalidateBounds();
    text_ = text;
    // Measured in the font the label paints with, so that the bounds hold the text.
    const HWND hwnd = GetHwnd();
    const HDC dc = GetDC(hwnd);
    const SIZE extent = MeasureText(dc, text_, Theme::Instance().NormalFont());
    ReleaseDC(hwnd, dc);
    bounds_.right = bounds_.left + extent.cx;
    bounds_.bottom = bounds_.top + extent.cy;
    InvalidateBounds();
    Vantor::UI::NotifyControlEvent(EVENT_OBJECT_NAMECHANGE, *this);
}

Vantor::UI::AccessibleInfo Label::Describe() const
{
    Vantor::UI::AccessibleInfo info = ControlBase::Describe();
    info.role = ROLE_SYSTEM_STATICTEXT;
    info.state |= STATE_SYSTEM_READONLY;
    if (info.name.empty())
        info.name = text_;
    return info;
}

void Label::SetTextColor(COLORREF color)
{
    color_ = color;
    InvalidateBounds();
}

void Label::SetFormat(UINT format)
{
    format_ = format;
    InvalidateBounds();
}

void Label::Layout()
{
    const int width = bounds_.right - bounds_.left;
    const int height = bounds_.bottom - bounds_.top;
    const RECT placed = ComputeBounds();
    bounds_ = RECT{placed.left, placed.top, placed.left + width, placed.top + height};
}

void Label::Paint(Vantor::UI::CPaintEventArgs& e)
{
    if (!visible_)
        return;
    DrawTextIn(e.dc, bounds_, text_, color_, Theme::Instance().NormalFont(), format_);
}
