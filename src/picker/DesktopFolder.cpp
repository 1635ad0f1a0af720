#include "picker/DesktopFolder.h"

namespace Vantor::Shell {

DesktopFolder::DesktopFolder()
{
    SHGetDesktopFolder(desktop_.GetAddressOf());
    // The desktop's list is the bare terminator.
    rootList_.reset(static_cast<ITEMIDLIST_ABSOLUTE*>(CoTaskMemAlloc(sizeof(USHORT))));
    if (rootList_)
        rootList_->mkid.cb = 0;
    PIDLIST_ABSOLUTE computer = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)))
        computerList_.reset(computer);
    root_ = std::make_unique<Item>(rootList_.get());
}

DesktopFolder::~DesktopFolder() = default;

void DesktopFolder::EnumDesktopChildren(std::vector<Item*>& items)
{
    if (desktop_)
        Enumerate(*desktop_.Get(), rootList_.get(), items);
}

void DesktopFolder::EnumChildren(const Item& item, std::vector<Item*>& items)
{
    if (!desktop_ || !item.IdList())
        return;
    if (ILIsEmpty(item.IdList())) {
        EnumDesktopChildren(items);
        return;
    }
    ComPtr<IShellFolder> folder;
    if (FAILED(desktop_->BindToObject(item.IdList(), nullptr, IID_IShellFolder,
                                      reinterpret_cast<void**>(folder.GetAddressOf()))) ||
        !folder)
        return;
    Enumerate(*folder.Get(), item.IdList(), items);
}

bool DesktopFolder::IsComputer(const Item& item) const
{
    return computerList_ && item.IdList() && ILIsEqual(item.IdList(), computerList_.get());
}

void DesktopFolder::Enumerate(IShellFolder& folder, PCIDLIST_ABSOLUTE parent, std::vector<Item*>& items)
{
    ComPtr<IEnumIDList> children;
    if (folder.EnumObjects(nullptr, SHCONTF_FOLDERS, children.GetAddressOf()) != S_OK || !children)
        return;
    for (;;) {
        PITEMID_CHILD raw = nullptr;
        if (children->Next(1, &raw, nullptr) != S_OK || !raw)
            break;
        const CoTaskMemPtr<ITEMID_CHILD> child(raw);
        CoTaskMemPtr<ITEMIDLIST_ABSOLUTE> absolute(ILCombine(parent, child.get()));
        if (!absolute)
            continue;
        auto item = std::make_unique<Item>(absolute.get());
        items.push_back(item.get());
        items_.push_back(Owned{std::move(absolute), std::move(item)});
    }
}

}  // namespace Vantor::Shell
