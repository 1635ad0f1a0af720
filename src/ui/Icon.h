#pragma once
// A skin image at the control's top-left, in its own size. Painted even while hidden.
#include <string>

#include "ui/ControlBase.h"

namespace Vantor::UI::Controls {

class Icon : public ControlBase {
public:
    virtual void Create(ControlBase* parent);
    void Paint(CPaintEventArgs& e) override;
    AccessibleInfo Describe() const override;

    void SetImage(const std::string& name);
    const std::string& GetImage() const { return image_; }

protected:
    std::string image_;
};

}  // namespace Vantor::UI::Controls
