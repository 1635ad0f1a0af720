#include "picker/ShellItem.h"

#include <shellapi.h>
#include <shlobj.h>

namespace Vantor::Shell {

Item::Item(PCIDLIST_ABSOLUTE idList) : idList_(idList)
{
    if (!idList)
        return;
    SHFILEINFOW info{};
    if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(idList), 0, &info, sizeof(info),
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_SMALLICON)) {
        displayName_ = info.szDisplayName;
        typeName_ = info.szTypeName;
        icon_ = info.iIcon;
    }
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(idList, path))
        path_ = path;
}

}  // namespace Vantor::Shell
