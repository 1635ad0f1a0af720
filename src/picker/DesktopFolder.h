#pragma once
// The shell namespace behind the add-images dialog's folder tree: the desktop at the root,
// its folders below it, and the sub-folders of any folder, one level per call.
//
// Platform fact: the names the shell gives depend on the language and the platform ("My
// Computer", "我的电脑", "计算机"), so the computer folder is recognised by its item ID list
// (CSIDL_DRIVES), never by its name.
//
// Design: the folder owns every item it hands out together with the item's absolute ID list;
// they stay valid until the folder goes. Enumerating a folder twice makes new items (the tree
// asks once per node). Failing shell calls give fewer or no items, never an error.
// Window thread only (the shell objects of the dialog's apartment).
#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "picker/ShellItem.h"
#include "platform/Handles.h"

namespace Vantor::Shell {

class DesktopFolder {
public:
    DesktopFolder();
    virtual ~DesktopFolder();
    DesktopFolder(const DesktopFolder&) = delete;
    DesktopFolder& operator=(const DesktopFolder&) = delete;

    // The desktop itself (the empty ID list).
    Item& Root() { return *root_; }
    // Appends an item for every sub-folder of the desktop, in the shell's order.
    void EnumDesktopChildren(std::vector<Item*>& items);
    // Appends an item for every sub-folder of the item's folder, in the shell's order.
    void EnumChildren(const Item& item, std::vector<Item*>& items);
    // Whether the item is the computer folder (drives and devices).
    bool IsComputer(const Item& item) const;

private:
    void Enumerate(IShellFolder& folder, PCIDLIST_ABSOLUTE parent, std::vector<Item*>& items);

    struct Owned {
        CoTaskMemPtr<ITEMIDLIST_ABSOLUTE> idList;
        std::unique_ptr<Item> item;
    };

    ComPtr<IShellFolder> desktop_;
    CoTaskMemPtr<ITEMIDLIST_ABSOLUTE> rootList_;
    CoTaskMemPtr<ITEMIDLIST_ABSOLUTE> computerList_;
    std::unique_ptr<Item> root_;
    std::vector<Owned> items_;
};

}  // namespace Vantor::Shell
