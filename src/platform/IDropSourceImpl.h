#pragma once
// The drop source of a drag started here: the drag goes on while the left button is held,
// drops when it is released and is cancelled by Escape; the system draws the cursors.
#include "platform/ComObject.h"

#include <oleidl.h>

namespace Vantor {

class IDropSourceImpl : public ComObject<IDropSourceImpl, IDropSource> {
public:
    STDMETHODIMP QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    STDMETHODIMP GiveFeedback(DWORD effect) override;
};

}  // namespace Vantor
