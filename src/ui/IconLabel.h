#pragma once
// A small skin icon followed by a caption (the panel's tools: "编辑", "左旋", ...). Greyed icon
// and caption while disabled. Click carries the label itself.
#include <boost/signals2/signal.hpp>

#include <string>

#include "ui/PressableControl.h"

namespace Vantor::UI::Controls {

class IconLabel : public PressableControl {
public:
    boost::signals2::signal<void(ControlBase*)> Click;

    virtual void Create(ControlBase* parent, const std::wstring& caption, const std::string& icon);
    virtual void PaintBackground(CPaintEventArgs& e);

    void Paint(CPaintEventArgs& e) override;
    void OnLButtonDown(CMouseEventArgs& e) override;
    void OnLButtonUp(CMouseEventArgs& e) override;
    void OnMouseMove(CMouseEventArgs& e) override;
    bool PressByKey() override;
    AccessibleInfo Describe() const override;

    // Stores the caption and sizes the label to caption plus icon and gap.
    void SetText(const std::wstring& caption);
    const std::wstring& GetText() const { return caption_; }

protected:
    int gap_ = 5;
    std::string icon_;
    std::wstring caption_;
};

}  // namespace Vantor::UI::Controls
