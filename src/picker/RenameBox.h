#pragma once
// The box in which the user renames an upload item: the toolkit's text box, holding at most
// 259 characters, that reports Enter (commit), Escape (cancel) and the loss of focus (commit)
// to its owner. The owner hides it; hiding it never reports again. It is opaque, in the normal
// text colour, so that only what is typed shows, never the caption painted under it.
#include <functional>
#include <string>

#include "platform/Handles.h"
#include "ui/TextEditor.h"

namespace Vantor {

class RenameBox : public TextEditor {
public:
    static constexpr int kMaxLength = 259;

    std::function<void()> onCommit;
    std::function<void()> onCancel;

    HWND Create(HWND parent);
    std::wstring Text() const;
    void Show(const RECT& rect, const std::wstring& text);
    void Hide();
    bool IsShown() const;
    // The box's own colours.
    static COLORREF TextColour();
    static COLORREF BackColour();

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool hiding_ = false;
    GdiObject<HBRUSH> background_;
};

}  // namespace Vantor
