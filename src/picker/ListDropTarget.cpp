#include "picker/ListDropTarget.h"

#include "picker/ItemDragData.h"
#include "picker/ListView.h"
#include "platform/DroppedFiles.h"

namespace Vantor {

DWORD ListDropTarget::OnDropFiles(HDROP drop)
{
    const std::vector<std::wstring> paths = DroppedFilePaths(drop);
    if (paths.empty())
        return DROPEFFECT_NONE;
    return list_.AddFiles(paths).added > 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

bool ListDropTarget::AcceptsCustom(IDataObject* data) { return ReadItemDragData(data, cookie_).has_value(); }

DWORD ListDropTarget::OnDropCustom(IDataObject* data, DWORD, POINTL point, DWORD effect)
{
    const std::optional<int32_t> dragged = ReadItemDragData(data, cookie_);
    if (!dragged || !list_.hwnd())
        return DROPEFFECT_NONE;
    POINT client{point.x, point.y};
    ScreenToClient(list_.hwnd(), &client);
    const ListViewItem* target = list_.ItemAt(POINT{client.x, client.y + list_.ScrollPos()});
    if (!target || target->Id() == *dragged || !list_.FindById(*dragged))
        return DROPEFFECT_NONE;
    list_.MoveItem(*dragged, target->Id());
    return effect;
}

}  // namespace Vantor
