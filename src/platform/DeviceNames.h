#pragma once
// Windows' reserved device names: a file name whose part before the first dot (trailing
// blanks ignored, any letter case) is CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 or LPT1-9
// (also with the superscript digits ¹ ² ³) opens the device, in any folder.
#include <string_view>

namespace Vantor {

bool IsReservedDeviceName(std::wstring_view fileName);

}  // namespace Vantor
