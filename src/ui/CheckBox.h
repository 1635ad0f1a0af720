#pragma once
// A 15 x 15 skinned check box with a caption to its right. A click toggles the mark, then fires.
#include <boost/signals2/signal.hpp>

#include <string>

#include "ui/PressableControl.h"

namespace Vantor::UI::Controls {

class CheckBox : public PressableControl {
public:
    static constexpr int BoxWidth = 15;
    static constexpr int BoxHeight = 15;

    boost::signals2::signal<void()> Click;

    // Attaches, stores the caption and takes the caption's extent as the size.
    virtual void Create(ControlBase* parent, const std::wstring& caption);
    // Another caption: the box takes its width.
    void SetText(const std::wstring& caption);

    void Paint(CPaintEventArgs& e) override;
    void OnLButtonDown(CMouseEventArgs& e) override;
    void OnLButtonUp(CMouseEventArgs& e) override;
    void OnMouseMove(CMouseEventArgs& e) override;
    void Layout() override;
    bool PressByKey() override;
    AccessibleInfo Describe() const override;

    const std::wstring& GetCaption() const { return caption_; }
    void SetChecked(bool checked);
    bool IsChecked() const { return checked_; }
    const std::string& CurrentImage() const;

protected:
    std::wstring caption_;
    bool checked_ = false;
    std::string normalImage_ = "CheckBox-Normal";
    std::string hoverImage_ = "CheckBox-Hover";
    std::string checkedImage_ = "CheckBox-Checked";
    std::string checkedHoverImage_ = "CheckBox-CkHover";
};

}  // namespace Vantor::UI::Controls
