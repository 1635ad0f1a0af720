#include "ui/MessageDialog.h"

#include <algorithm>

#include "ui/Drawing.h"
#include "ui/SkinTable.h"
#include "ui/Theme.h"
#include "ui/UiText.h"

namespace {

constexpr UINT kMessageFormat = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;

}  // namespace

void CMessageDialog::SetMessage(const std::wstring& text)
{
    message_ = text;
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

RECT CMessageDialog::MessageRect(HDC dc) const
{
    const RECT area = MessageArea;
    RECT measured{area.left, 0, area.right, 0};
    const HGDIOBJ old = SelectObject(dc, Theme::Instance().NormalFont());
    DrawTextW(dc, message_.c_str(), static_cast<int>(message_.size()), &measured, kMessageFormat | DT_CALCRECT);
    SelectObject(dc, old);
    // One line sits on the message line; more lines grow around it, within the body.
    const int height = std::min<int>(measured.bottom - measured.top, area.bottom - area.top);
    const int top = std::max<int>(area.top, 79 - height / 2);
    return RECT{area.left, top, area.right, std::min<int>(area.bottom, top + height)};
}

void CMessageDialog::Paint(Vantor::UI::CPaintEventArgs& e)
{
    ExtForm::Paint(e);
    DrawTextIn(e.dc, MessageRect(e.dc), message_, Theme::Instance().NormalTextColor(), Theme::Instance().NormalFont(),
               kMessageFormat | DT_END_ELLIPSIS);
    ControlBase::Paint(e);
}

void CMessageDialog::OnInitDialog()
{
    AttachWindow(hwnd(), 0, 0, Width, Height);
    const Vantor::UI::Language language = TextLanguage();
    using Vantor::UI::TextId;
    SetTitle(Vantor::UI::Text(language, TextId::MessageTitle));

    // OK stands at the right when it is the only button.
    ok_.Create(this, L"");
    const std::string okImage = Vantor::UI::SkinInLanguage("BtnOk", language);
    ok_.SetImages(okImage, okImage, okImage, okImage);
    ok_.SetAccessibleName(Vantor::UI::Text(language, TextId::Ok));
    ok_.SetSize(51, 24);
    ok_.SetMargins(question_ ? 257 : 318, 141, 0, 0);
    ok_.Click.connect([this] { EndDialog(1); });

    if (question_) {
        cancel_.Create(this, L"");
        const std::string cancelImage = Vantor::UI::SkinInLanguage("BtnCancel", language);
        cancel_.SetImages(cancelImage, cancelImage, cancelImage, cancelImage);
        cancel_.SetAccessibleName(Vantor::UI::Text(language, TextId::Cancel));
        cancel_.SetSize(51, 24);
        cancel_.SetMargins(318, 141, 0, 0);
        cancel_.Click.connect([this] { EndDialog(2); });
    }

    close_.Create(this, L"");
    close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
    close_.SetAccessibleName(Vantor::UI::Text(language, TextId::Close));
    close_.SetSize(15, 15);
    close_.SetMargins(0, 12, 14, 0);
    close_.SetAnchor(AnchorTop | AnchorRight);
    close_.Click.connect([this] { EndDialog(2); });

    // Centred over the owner, or over the work area when there is none.
    RECT over{};
    const HWND owner = GetWindow(hwnd(), GW_OWNER);
    if (!owner || !GetWindowRect(owner, &over) || IsIconic(owner))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    const int x = over.left + ((over.right - over.left) - Width) / 2;
    const int y = over.top + ((over.bottom - over.top) - Height) / 2;
    SetWindowPos(hwnd(), nullptr, x, y, Width, Height, SWP_NOZORDER);
}

bool CMessageDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog();
        result = TRUE;
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(1);
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(2);
            return true;
        }
        return false;
    default:
        return ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
    }
}
