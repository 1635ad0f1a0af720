#pragma once
// A push button painted from four skin images (normal, hover, pressed, disabled), with an
// optional centred caption. Click fires on a release inside after a press inside.
#include <boost/signals2/signal.hpp>

#include <string>

#include "ui/PressableControl.h"

namespace Vantor::UI::Controls {

class Button : public PressableControl {
public:
    boost::signals2::signal<void()> Click;

    virtual void Create(ControlBase* parent, const std::wstring& caption);
    virtual void PaintBackground(CPaintEventArgs& e);

    void Paint(CPaintEventArgs& e) override;
    void OnLButtonDown(CMouseEventArgs& e) override;
    void OnLButtonUp(CMouseEventArgs& e) override;
    void OnMouseMove(CMouseEventArgs& e) override;
    bool PressByKey() override;
    AccessibleInfo Describe() const override;

    void SetImages(const std::string& normal, const std::string& hover, const std::string& pressed,
                   const std::string& disabled);
    void SetCaption(const std::wstring& caption);
    const std::wstring& GetCaption() const { return caption_; }
    // The skin name the button paints with in its current state.
    const std::string& CurrentImage() const;

protected:
    std::wstring caption_;
    std::string normalImage_ = "BtnNormal";
    std::string hoverImage_ = "BtnHover";
    std::string disabledImage_ = "BtnDisable";
    std::string pressedImage_ = "BtnDown";
};

}  // namespace Vantor::UI::Controls
