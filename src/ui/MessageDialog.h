#pragma once
// The system's skinned message box: title "提示消息" (in the language SetLanguage names), the message wrapped over as many lines
// as it needs, and a close button. A box that only informs has an OK button; one that asks
// (SetQuestion) has OK and Cancel. DoModal returns 1 for OK (or Enter) and 2 for Cancel,
// Close or Escape.
#include <boost/signals2/trackable.hpp>

#include <string>

#include "platform/Dialog.h"
#include "ui/Button.h"
#include "ui/ExtForm.h"
#include "ui/Icon.h"

class CMessageDialog : public Vantor::Win::Dialog, public ExtForm, public boost::signals2::trackable {
public:
    static constexpr int Width = 384;
    static constexpr int Height = 174;
    // Where the message goes: from x 100 to the right margin, around y 79.
    static constexpr RECT MessageArea{100, 44, Width - 20, Height - FooterHeight - 4};

    void SetMessage(const std::wstring& text);
    const std::wstring& GetMessage() const { return message_; }
    // A question has a Cancel button as well as OK; before DoModal.
    void SetQuestion(bool question) { question_ = question; }
    bool IsQuestion() const { return question_; }

    void Paint(Vantor::UI::CPaintEventArgs& e) override;
    // The message's rectangle in the dialog for the given device context (wrapped, centred
    // on the message line).
    RECT MessageRect(HDC dc) const;

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnInitDialog();

    std::wstring message_;
    bool question_ = false;
    Vantor::UI::Controls::Button ok_;
    Vantor::UI::Controls::Button cancel_;
    Vantor::UI::Controls::Button close_;
    Vantor::UI::Controls::Icon icon_;
};
