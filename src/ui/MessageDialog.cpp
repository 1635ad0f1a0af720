#include "ui/MessageDialog.h"


void CMessageDialog::SetMessage(const std::wstring& text)
{
    message_ = text;
    if (hwnd())
        label_.SetText(text);
}

void CMessageDialog::Paint(Vantor::UI::CPaintEventArgs& e)
{
    ExtForm::Paint(e);
    ControlBase::Paint(e);
}

void CMessageDialog::OnInitDialog()
{
    AttachWindow(hwnd(), 0, 0, Width, Height);
    SetTitle(L"\u63D0\u793A\u6D88\u606F");

    ok_.Create(this, L"");
    ok_.SetImages("BtnOk", "BtnOk", "BtnOk", "BtnOk");
    ok_.SetSize(51, 24);
    ok_.SetMargins(257, 141, 0, 0);
    ok_.Click.connect([this] { EndDialog(1); });

    cancel_.Create(this, L"");
    cancel_.SetImages("BtnCancel", "BtnCancel", "BtnCancel", "BtnCancel");
    cancel_.SetSize(51, 24);
    cancel_.SetMargins(318, 141, 0, 0);
    cancel_.Click.connect([this] { EndDialog(2); });

    close_.Create(this, L"");
    close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
    close_.SetSize(15, 15);
    close_.SetMargins(0, 12, 14, 0);
    close_.SetAnchor(AnchorTop | AnchorRight);
    close_.Click.connect([this] { EndDialog(2); });

    label_.Create(this, message_);
    label_.SetMargins(100, 72, 0, 0);

    SetWindowPos(hwnd(), nullptr, 0, 0, Width, Height, SWP_NOZORDER | SWP_NOMOVE);

    // Centred over the owner, or over the work area when there is none.
    RECT over{};
    const HWND owner = GetWindow(hwnd(), GW_OWNER);
    if (!owner || !GetWindowRect(owner, &over) || IsIconic(owner))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    const int x = over.left + ((over.right - over.left) - Width) / 2;
    const int y = over.top + ((over.bottom - over.top) - Height) / 2;
    SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
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
