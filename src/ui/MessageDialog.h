#pragma once
// The system's skinned message box: title "提示消息", the message, OK and Cancel buttons and a
// close button. DoModal returns 1 for OK (or Enter) and 2 for Cancel, Close or Escape.
#include <boost/signals2/trackable.hpp>

#include <string>

#include "platform/Dialog.h"
#include "ui/Button.h"
#include "ui/ExtForm.h"
#include "ui/Icon.h"
#include "ui/Label.h"

class CMessageDialog : public Vantor::Win::Dialog, public ExtForm, public boost::signals2::trackable {
public:
    static constexpr int Width = 384;
    static constexpr int Height = 174;

    void SetMessage(const std::wstring& text);
    const std::wstring& GetMessage() const { return message_; }

    void Paint(Vantor::UI::CPaintEventArgs& e) override;

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnInitDialog();

    std::wstring message_;
    Vantor::UI::Controls::Button ok_;
    Vantor::UI::Controls::Button cancel_;
    Vantor::UI::Controls::Button close_;
    Label label_;
    Vantor::UI::Controls::Icon icon_;
};
