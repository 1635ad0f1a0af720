#pragma once
// What assistive technology (screen readers, magnifiers, speech input) reads of one element of
// a window: a control of the painted tree or an item of a list.
#include <windows.h>
#include <oleacc.h>

#include <string>

namespace Vantor::UI {

struct AccessibleInfo {
    long role = ROLE_SYSTEM_CLIENT;
    long state = 0;  // STATE_SYSTEM_* flags
    std::wstring name;
    std::wstring value;
    std::wstring description;
    std::wstring defaultAction;  // empty: the element has none
};

}  // namespace Vantor::UI
