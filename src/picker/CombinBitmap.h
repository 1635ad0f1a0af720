#pragma once
// The icon strip of the list items: one picture (PNG resource 234, 96 x 16) and named cells of
// it. A name that is not in the map draws nothing.
//
// The process shares one strip, read-only once filled: every list holds a lease from Acquire()
// while it exists, and the strip goes (with the GDI+ lease it keeps for its bitmap) when the
// last lease does, on whichever thread. Painting code takes Current() while it draws.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "image/GdiplusLease.h"

namespace Vantor {

class CombinBitmap {
public:
    static constexpr int kResourceId = 234;

    // A lease on the process's strip, filled from the resources now when no lease holds one.
    // Never null (a strip whose resource is missing draws nothing).
    static std::shared_ptr<const CombinBitmap> Acquire();
    // The strip the leases hold, or an empty one when none does. Never null.
    static std::shared_ptr<const CombinBitmap> Current();
    static long LeaseCount();

    CombinBitmap() = default;

    // Loads the strip from PNG resource `id` of the resource module and names the six 16 x 16
    // cells: "LeftCirc", "RightCirc", "Del", "Search", "Check", "Editor". False when the
    // resource is missing or does not decode (the items then draw no icons).
    bool Fill(int id = kResourceId);
    // Loads the strip from PNG bytes (tests).
    bool LoadPng(const void* data, size_t size);
    void AddCell(const std::string& name, int x, int y, int width, int height);

    bool IsLoaded() const { return bitmap_ != nullptr; }
    bool HasCell(const std::string& name) const { return cells_.count(name) != 0; }

    // The cell drawn into `destination` (scaled when the sizes differ).
    void Draw(Gdiplus::Graphics& graphics, const std::string& name, const RECT& destination) const;
    // The cell drawn at its own size with its top-left corner at `at`.
    void DrawAt(Gdiplus::Graphics& graphics, const std::string& name, POINT at) const;

private:
    GdiplusLease gdiplus_ = GdiplusLease::Acquire();  // first: outlives the bitmap
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
    std::map<std::string, Gdiplus::Rect> cells_;
    // GDI+ refuses (ObjectBusy) a bitmap that another thread draws at the same moment.
    mutable std::mutex drawing_;
};

}  // namespace Vantor
