#include "picker/SystemIconList.h"

#include <shellapi.h>

namespace Vantor::Shell {

SystemIconList::SystemIconList()
{
    // The name only carries the request: no file is touched.
    SHFILEINFOW info{};
    handle_ = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
        L"*.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info), SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

}  // namespace Vantor::Shell
