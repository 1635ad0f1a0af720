#pragma once
// What a list does with drops: shell files are added through the list's accept rule and
// limits; an item of this very list dragged onto another item moves before it. Items of
// other lists or processes are refused when they enter. The drop reports a copy when files
// were added or an item moved, no effect otherwise.
#include "platform/CIDropTargetImpl.h"

#include <cstdint>

namespace Vantor {

class ListView;

class ListDropTarget : public CIDropTargetImpl {
public:
    ListDropTarget(ListView& list, uint32_t listCookie) : list_(list), cookie_(listCookie) {}

protected:
    DWORD OnDropFiles(HDROP drop) override;
    DWORD OnDropCustom(IDataObject* data, DWORD keyState, POINTL point, DWORD effect) override;
    bool AcceptsCustom(IDataObject* data) override;

private:
    ListView& list_;
    uint32_t cookie_;
};

}  // namespace Vantor
