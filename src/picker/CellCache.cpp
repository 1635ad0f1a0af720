#include "picker/CellCache.h"

#include <algorithm>

#include "picker/ListViewItem.h"
#include "ui/Drawing.h"

namespace Vantor {

void CellCache::Prepare(Gdiplus::Graphics& graphics)
{
    graphics.SetCompositingQuality(Gdiplus::CompositingQualityHighSpeed);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeNone);
}

void CellCache::SetCapacity(size_t cells)
{
    capacity_ = std::max<size_t>(1, cells);
    while (entries_.size() > capacity_)
        MakeRoom();
}

void CellCache::Clear()
{
    entries_.clear();
    dc_.reset();
}

void CellCache::MakeRoom()
{
    // The cell painted longest ago goes.
    auto oldest = entries_.begin();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->second.used < oldest->second.used)
            oldest = it;
    if (oldest != entries_.end())
        entries_.erase(oldest);
}

bool CellCache::Draw(ListViewItem& item, Entry& entry, const CellLook& look)
{
    const int width = look.size.cx;
    const int height = look.size.cy;
    if (!entry.bitmap || entry.look.size.cx != width || entry.look.size.cy != height)
        entry.bitmap.reset(CreateTopDownDib(width, height));
    entry.look = CellLook{};  // nothing valid until the drawing is done
    if (!entry.bitmap)
        return false;
    const SelectObjectScope selected(dc_.get(), entry.bitmap.get());
    // As the list paints a cell in place: opaque white under it (GDI's fill gives the same
    // pixels as the platform's and costs far less), then the item.
    PatBlt(dc_.get(), 0, 0, width, height, WHITENESS);
    {
        Gdiplus::Graphics graphics(dc_.get());
        Prepare(graphics);
        item.Paint(graphics, RECT{0, 0, width, height});
    }
    GdiFlush();
    entry.look = look;
    ++draws_;
    return true;
}

void CellCache::Paint(HDC target, ListViewItem& item, const RECT& cell, const RECT& area)
{
    RECT part{};
    if (!IntersectRect(&part, &cell, &area))
        return;
    CellLook look = item.Look();
    if (look.size.cx <= 0 || look.size.cy <= 0)
        return;
    if (!dc_)
        dc_.reset(CreateCompatibleDC(nullptr));
    if (!dc_)
        return;
    auto found = entries_.find(item.Id());
    if (found == entries_.end()) {
        if (entries_.size() >= capacity_)
            MakeRoom();
        found = entries_.emplace(item.Id(), Entry{}).first;
    }
    Entry& entry = found->second;
    entry.used = ++clock_;
    if (entry.look != look && !Draw(item, entry, look)) {
        entries_.erase(found);
        return;
    }
    const SelectObjectScope selected(dc_.get(), entry.bitmap.get());
    BitBlt(target, part.left, part.top, part.right - part.left, part.bottom - part.top, dc_.get(),
           part.left - cell.left, part.top - cell.top, SRCCOPY);
}

}  // namespace Vantor
