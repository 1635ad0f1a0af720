#include "ui/Icon.h"

#include "ui/ImageLister.h"

namespace Vantor::UI::Controls {

void Icon::Create(ControlBase* parent) { Attach(parent); }

void Icon::SetImage(const std::string& name)
{
    image_ = name;
    InvalidateBounds();
}

void Icon::Paint(CPaintEventArgs& e)
{
    ImageLister::Current()->DrawSkin(e.dc, image_, POINT{bounds_.left, bounds_.top});
}

AccessibleInfo Icon::Describe() const
{
    AccessibleInfo info = ControlBase::Describe();
    info.role = ROLE_SYSTEM_GRAPHIC;
    return info;
}

}  // namespace Vantor::UI::Controls
