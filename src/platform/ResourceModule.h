#pragma once
// The module whose resources (skin images, the dialog template) the interface loads. By default
// the module that holds this code; a host may point it elsewhere before the first window.
#include <windows.h>

namespace Vantor::Win {

HINSTANCE ResourceModule();
void SetResourceModule(HINSTANCE module);

}  // namespace Vantor::Win
