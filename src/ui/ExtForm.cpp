#include "ui/ExtForm.h"

#include "ui/Drawing.h"
#include "ui/ImageLister.h"
#include "ui/Theme.h"

using Vantor::UI::CPaintEventArgs;
using Vantor::UI::ImageLister;

void ExtForm::SetTitle(const std::wstring& title)
{
    title_ = title;
    if (const HWND hwnd = GetHwnd()) {
        SetWindowTextW(hwnd, title_.c_str());
        RECT band{0, 0, bounds_.right, 34};
        InvalidateRect(hwnd, &band, FALSE);
    }
}

void ExtForm::Paint(CPaintEventArgs& e)
{
    PaintChrome(e);
    ImageLister::Current()->DrawSkin(e.dc, icon_, POINT{6, 6});
    PaintTitle(e);
}

void ExtForm::PaintChrome(CPaintEventArgs& e)
{
    const RECT& b = bounds_;
    FillSolid(e.dc, b, RGB(255, 255, 255));
    FillSolid(e.dc, RECT{b.left, b.bottom - FooterHeight, b.right, b.bottom}, RGB(243, 243, 243));
    ImageLister::Current()->DrawSkinStretched(e.dc, "Title_bk", RECT{b.left, b.top + 1, b.right, b.top + 34});
    FrameDouble(e.dc, b, 1, RGB(216, 216, 216));
}

void ExtForm::PaintTitle(CPaintEventArgs& e)
{
    if (title_.empty())
        return;
    // Measured in the font it is drawn with, so that the box holds exactly the title.
    const HFONT font = Theme::Instance().NormalFont();
    const SIZE extent = MeasureText(e.dc, title_, font);
    DrawTextIn(e.dc, RECT{26, 7, 26 + extent.cx, 7 + extent.cy}, title_, RGB(78, 78, 78), font,
               DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
