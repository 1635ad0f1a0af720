#pragma once
// What registering the control writes: its ProgIDs, class, application id, type library
// and interface, for the module at modulePath.
#include "platform/ComRegistration.h"

#include <string>

namespace Vantor {

ComRegistration FotoloftRegistration(const std::wstring& modulePath);

}  // namespace Vantor
