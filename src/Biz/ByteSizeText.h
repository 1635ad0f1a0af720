#pragma once
// The one way sizes are written to the user, in the panel and in the add-images dialog alike:
// "512 B", "12.0 KB", "3.4 MB", "1.25 GB" (binary units; one decimal up to MB, two from GB).
#include <cstdint>
#include <string>

namespace Vantor {

std::wstring ByteSizeText(uint64_t bytes);

}  // namespace Vantor
