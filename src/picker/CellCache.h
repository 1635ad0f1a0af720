#pragma once
// The list's painted cells kept as pixels: an item's cell is drawn once into a bitmap of the
// cell's size and copied from there by later paints, until the item's look (CellLook) is no
// longer the one it was drawn with. The cache holds a bounded number of cells, the least
// recently painted going first, so a long list costs the pixels of a few screens only.
//
// Window thread only, like the items.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <unordered_map>

#include "picker/CellLook.h"
#include "platform/Handles.h"

namespace Vantor {

class ListViewItem;

class CellCache {
public:
    // The drawing settings every cell is painted with, kept or not, so that both ways give
    // the same pixels.
    static void Prepare(Gdiplus::Graphics& graphics);

    // Copies the part of the item's cell that lies in `area` to `target`; `cell` is where the
    // cell stands on the target. The cell is drawn first when it is not kept or its look changed.
    void Paint(HDC target, ListViewItem& item, const RECT& cell, const RECT& area);

    // The most cells kept (at least one).
    void SetCapacity(size_t cells);
    size_t Capacity() const { return capacity_; }
    size_t Size() const { return entries_.size(); }
    void Forget(int32_t id) { entries_.erase(id); }
    void Clear();
    // Cells drawn (not copied) since the cache was made.
    uint64_t Draws() const { return draws_; }

private:
    struct Entry {
        CellLook look;
        GdiObject<HBITMAP> bitmap;
        uint64_t used = 0;
    };
    bool Draw(ListViewItem& item, Entry& entry, const CellLook& look);
    void MakeRoom();

    std::unordered_map<int32_t, Entry> entries_;
    UniqueMemoryDC dc_;
    size_t capacity_ = 64;
    uint64_t clock_ = 0;
    uint64_t draws_ = 0;
};

}  // namespace Vantor
