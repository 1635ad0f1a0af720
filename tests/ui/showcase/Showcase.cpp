// A form holding one of each control of the toolkit, for the screen tests: it writes every
// signal it receives, one line each, to the log file named on its command line.
//
//   ui_showcase.exe LOG
//
// Lines: "ready X Y W H" once shown; "pos X Y" after each move; "click add", "click plain",
// "check 0|1", "tool edit", "slider N", "ext N", "editor enter|ctrl-enter|esc|text T",
// "editor focus|blur", "combo N", "dialog N", "max 0|1 W H", "close".
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <string>

#include "platform/TextConv.h"
#include "platform/Window.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ComboBox.h"
#include "ui/Editor.h"
#include "ui/ExtForm.h"
#include "ui/Icon.h"
#include "ui/IconLabel.h"
#include "ui/Label.h"
#include "ui/MessageDialog.h"
#include "ui/ImageLister.h"
#include "ui/TextEditor.h"
#include "ui/TrackBar.h"

using namespace Vantor::UI;
using namespace Vantor::UI::Controls;

namespace {

FILE* g_log = nullptr;

void Log(const std::string& line)
{
    if (!g_log)
        return;
    std::fprintf(g_log, "%s\n", line.c_str());
    std::fflush(g_log);
}

constexpr int kWidth = 520;
constexpr int kHeight = 340;

class ShowcaseForm : public Vantor::Win::Window, public ExtForm {
public:
    bool Open()
    {
        return CreateWindowOfClass(nullptr, RECT{100, 100, 100 + kWidth, 100 + kHeight}, L"", WS_POPUP) !=
               nullptr;
    }
    void Paint(CPaintEventArgs& e) override
    {
        ExtForm::Paint(e);
        ControlBase::Paint(e);
    }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Showcase"; }

    void Build()
    {
        AttachWindow(hwnd(), 0, 0, kWidth, kHeight);
        SetTitle(L"\u63A7\u4EF6\u5C55\u793A");  // the window's name for the tests
        SetIconName("IcoAdd");

        close_.Create(this, L"");
        close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
        close_.SetSize(15, 15);
        close_.SetMargins(0, 10, 10, 0);
        close_.SetAnchor(AnchorTop | AnchorRight);
        close_.Click.connect([this] {
            Log("close");
            PostMessageW(hwnd(), WM_CLOSE, 0, 0);
        });
        max_.Create(this, L"");
        max_.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "");
        max_.SetSize(15, 15);
        max_.SetMargins(0, 10, 30, 0);
        max_.SetAnchor(AnchorTop | AnchorRight);
        max_.Click.connect([this] {
            ToggleMaximize();
            if (IsMaximized())
                max_.SetImages("BtnRestore-Normal", "BtnRestore-Hover", "BtnRestore-Hover", "");
            else
                max_.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "");
            RECT r{};
            GetWindowRect(hwnd(), &r);
            Log(std::string(IsMaximized() ? "max 1 " : "max 0 ") + std::to_string(r.right - r.left) + " " +
                std::to_string(r.bottom - r.top));
        });

        add_.Create(this, L"");
        add_.SetImages("BtnAdd-Normal", "BtnAdd-Hover", "BtnAdd-Hover", "BtnAdd-Disable");
        add_.SetSize(84, 24);
        add_.SetMargins(10, 44, 0, 0);
        add_.Click.connect([] { Log("click add"); });

        plain_.Create(this, L"\u6309\u94AE");
        plain_.SetSize(72, 25);
        plain_.SetMargins(104, 44, 0, 0);
        plain_.Click.connect([] { Log("click plain"); });

        disabled_.Create(this, L"\u5DF2\u505C\u7528");
        disabled_.SetSize(72, 25);
        disabled_.SetMargins(198, 44, 0, 0);
        disabled_.SetDisabled(1);
        disabled_.Click.connect([] { Log("click disabled"); });

        post_.Create(this, L"");
        post_.SetImages("BtnPost-Normal", "BtnPost-Hover", "BtnPost-Hover", "BtnPost-Disable");
        post_.SetSize(84, 24);
        post_.SetMargins(292, 44, 0, 0);
        post_.Click.connect([] { Log("click post"); });

        check_.Create(this, L"\u5168\u9009");
        check_.SetMargins(10, 84, 0, 0);
        check_.Click.connect([this] { Log(check_.IsChecked() ? "check 1" : "check 0"); });

        info_.Create(this);
        info_.SetImage("IcoInfo");
        info_.SetSize(16, 16);
        info_.SetMargins(90, 84, 0, 0);

        edit_.Create(this, L"\u7F16\u8F91", "IcoEdit");
        edit_.SetMargins(120, 84, 0, 0);
        edit_.Click.connect([](ControlBase*) { Log("tool edit"); });
        delete_.Create(this, L"\u5220\u9664", "Btn_Delete");
        delete_.SetMargins(190, 84, 0, 0);
        delete_.SetDisabled(1);
        delete_.Click.connect([](ControlBase*) { Log("tool delete"); });

        label_.Create(this, L"\u8BF7\u70B9\u51FB\"\u6DFB\u52A0\u6309\u94AE\"\uFF0C\u9009\u62E9\u8981\u4E0A\u4F20\u7684\u7167\u7247");
        label_.SetMargins(10, 114, 0, 0);

        slider_.Create(hwnd());
        slider_.Attach(this);
        slider_.SetSize(200, 15);
        slider_.SetMargins(10, 144, 0, 0);
        slider_.SetRange(0, 100);
        slider_.SetValue(30);
        slider_.SetVisible(1);
        slider_.ValueChanged.connect([](int v) { Log("slider " + std::to_string(v)); });

        ext_.Create(hwnd());
        ext_.Attach(this);
        ext_.SetSize(122, 15);
        ext_.SetMargins(10, 174, 0, 0);
        ext_.SetRange(-100, 100);
        ext_.SetValue(0);
        ext_.SetVisible(1);
        ext_.ValueChanged.connect([](int v) { Log("ext " + std::to_string(v)); });

        editor_.Attach(this);
        editor_.SetSize(80, 22);
        editor_.SetMargins(260, 140, 0, 0);
        editor_.FocusGained.connect([] { Log("editor focus"); });
        editor_.FocusLost.connect([] { Log("editor blur"); });
        editor_.EnterPressed.connect([] { Log("editor enter"); });
        editor_.CtrlEnterPressed.connect([] { Log("editor ctrl-enter"); });
        editor_.EscapePressed.connect([] { Log("editor esc"); });
        editor_.TextChanged.connect([this] { Log("editor text " + Vantor::Utf16ToUtf8(editor_.GetText())); });

        combo_.Attach(this);
        combo_.SetSize(86, 90);
        combo_.SetMargins(260, 172, 0, 0);
        for (const wchar_t* entry : {L"\u9ED8\u8BA4\u6392\u5E8F", L"\u6309\u6587\u4EF6\u540D",
                                     L"\u6309\u521B\u5EFA\u65F6\u95F4", L"\u6309\u62CD\u6444\u65F6\u95F4"})
            combo_.AddString(entry);
        combo_.SetCurSel(0);
        combo_.SelectionChanged.connect([](int index) { Log("combo " + std::to_string(index)); });

        text_.Create(hwnd(), RECT{0, 0, 10, 10});
        SetWindowTextW(text_.hwnd(), L"IMG_0001.JPG");

        message_.Create(this, L"\u6D88\u606F");
        message_.SetSize(72, 25);
        message_.SetMargins(0, 0, 10, 6);
        message_.SetAnchor(AnchorRight | AnchorBottom);
        message_.Click.connect([this] {
            CMessageDialog dialog;
            dialog.SetMessage(L"\u4E0A\u4F20\u5217\u8868\u4E3A\u7A7A\uFF0C\u8BF7\u9009\u62E9\u6587\u4EF6");
            dialog.SetQuestion(true);
            Log("dialog " + std::to_string(dialog.DoModal(hwnd())));
        });
    }

    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        switch (msg) {
        case WM_CREATE:
            Build();
            return false;
        case WM_SIZE:
            ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
            text_.Place(RECT{260, 210, 380, 234});
            return true;
        case WM_MOVE: {
            RECT r{};
            GetWindowRect(hwnd(), &r);
            Log("pos " + std::to_string(r.left) + " " + std::to_string(r.top));
            return false;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd());
            return true;
        case WM_NCDESTROY:
            PostQuitMessage(0);
            return false;
        default:
            return ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
        }
    }

private:
    Button close_, max_, add_, plain_, disabled_, post_, message_;
    CheckBox check_;
    Icon info_;
    IconLabel edit_, delete_;
    Label label_;
    TrackBar slider_;
    ExtTrackBar ext_;
    Editor editor_;
    ComboBox combo_;
    TextEditor text_;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1)
        g_log = _wfopen(argv[1], L"w");
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int code = 1;
    Log("started");
    {
        const SkinLease skins = ImageLister::Acquire();
        if (skins->Count() != 36)
            Log("skins missing");
        ShowcaseForm form;
        if (form.Open()) {
            ShowWindow(form.hwnd(), SW_SHOW);
            UpdateWindow(form.hwnd());
            RECT r{};
            GetWindowRect(form.hwnd(), &r);
            Log("ready " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
                " " + std::to_string(r.bottom - r.top));
            code = Vantor::Win::RunMessageLoop();
        }
    }
    Gdiplus::GdiplusShutdown(token);
    if (g_log)
        std::fclose(g_log);
    return code;
}
