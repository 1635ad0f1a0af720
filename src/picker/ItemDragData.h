#pragma once
// The data of an item drag in a list: the dragged item's id in the registered format
// "ListViewItem", tagged with the process and the list it comes from. A list reads back only
// its own drags; an id from another list or another process means nothing to it and is
// ignored.
//
// Layout (12 bytes, native order): item id (int32, first, where the format always had it),
// process id, list cookie.
#include "platform/Handles.h"

#include <objidl.h>

#include <cstdint>
#include <optional>

namespace Vantor {

inline constexpr wchar_t kItemDragFormat[] = L"ListViewItem";

struct ItemDragTag {
    int32_t itemId;
    uint32_t processId;
    uint32_t listCookie;
};
static_assert(sizeof(ItemDragTag) == 12);

// A cookie no other list of this process has had (never 0).
uint32_t NewListCookie();

// Registers the format (once per process); false when the system refuses it.
bool RegisterItemDragFormat();

// A data object carrying the item of this list for a drag; null when the format cannot be
// registered or memory is short.
ComPtr<IDataObject> MakeItemDragData(uint32_t listCookie, int32_t itemId);

// The dragged item's id when the data is a drag of the list with this cookie in this
// process; nothing otherwise.
std::optional<int32_t> ReadItemDragData(IDataObject* data, uint32_t listCookie);

}  // namespace Vantor
