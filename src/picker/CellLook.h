#pragma once
// Everything an item's painting reads, gathered as one value: two cells with equal looks
// paint the same pixels. The list keeps each painted cell's pixels under its look (CellCache)
// and paints it again only when the look has changed.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Vantor {

struct CellLook {
    SIZE size{};                      // the cell
    SIZE frame{};                     // the list's frame inside it
    // The picture drawn and the skin's icon strip, compared by identity: each new thumbnail is
    // a new object, and a look holds its own so that no later object can take its address.
    std::shared_ptr<const void> thumbnail;
    bool hasPicture = false;
    std::shared_ptr<const void> icons;
    uint32_t flags = 0;           // hovered, selected
    int checked = 0;
    bool uploading = false;  // the list's state
    bool interactive = true;
    COLORREF selection = 0;
    std::wstring caption;
    int phase = 0;  // the file's upload, as far as the cell shows it
    uint32_t sent = 0;
    uint32_t total = 0;
    std::wstring detail;  // words the cell shows besides its caption (a failure's)

    bool operator==(const CellLook& other) const
    {
        return size.cx == other.size.cx && size.cy == other.size.cy && frame.cx == other.frame.cx &&
               frame.cy == other.frame.cy && thumbnail.get() == other.thumbnail.get() && hasPicture == other.hasPicture &&
               icons.get() == other.icons.get() && flags == other.flags && checked == other.checked &&
               uploading == other.uploading && interactive == other.interactive && selection == other.selection &&
               phase == other.phase && sent == other.sent && total == other.total && caption == other.caption &&
               detail == other.detail;
    }
    bool operator!=(const CellLook& other) const { return !(*this == other); }
};

}  // namespace Vantor
