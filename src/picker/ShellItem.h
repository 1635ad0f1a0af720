#pragma once
// One folder of the shell namespace as the add-images dialog's tree shows it: its localized
// name, its file-system path (empty for virtual folders such as My Computer or the Control
// Panel), its type name and its index in the system's small icon list.
//
// An item is identified by its absolute item ID list; the list belongs to the DesktopFolder
// that made the item and lives as long as it does. The names are read once, when the item is
// made; a folder whose information cannot be read keeps empty names and icon 0.
#include <windows.h>
#include <shtypes.h>

#include <string>

namespace Vantor::Shell {

class Item {
public:
    // Reads the information of the list; does not take the list.
    explicit Item(PCIDLIST_ABSOLUTE idList);
    virtual ~Item() = default;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    const std::wstring& DisplayName() const { return displayName_; }
    const std::wstring& Path() const { return path_; }
    const std::wstring& TypeName() const { return typeName_; }
    int IconIndex() const { return icon_; }
    PCIDLIST_ABSOLUTE IdList() const { return idList_; }
    bool HasPath() const { return !path_.empty(); }

private:
    std::wstring displayName_;
    std::wstring path_;
    std::wstring typeName_;
    int icon_ = 0;
    PCIDLIST_ABSOLUTE idList_;
};

}  // namespace Vantor::Shell
