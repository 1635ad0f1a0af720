#pragma once
// The process-wide icon strip of the list items: one picture (PNG resource 234, 96 x 16) and
// named cells of it. The control fills it when its window is made (Fill) and empties it when
// the window goes (Clear), while GDI+ still runs. A name that is not in the map draws nothing.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>

namespace Vantor {

class CombinBitmap {
public:
    static constexpr int kResourceId = 234;

    static CombinBitmap& Instance();

    // Loads the strip from PNG resource `id` of the resource module and names the six 16 x 16
    // cells: "LeftCirc", "RightCirc", "Del", "Search", "Check", "Editor". False when the
    // resource is missing or does not decode (the items then draw no icons).
    bool Fill(int id = kResourceId);
    // Loads the strip from PNG bytes (tests).
    bool LoadPng(const void* data, size_t size);
    void AddCell(const std::string& name, int x, int y, int width, int height);
    void Clear();

    bool IsLoaded() const { return bitmap_ != nullptr; }
    bool HasCell(const std::string& name) const { return cells_.count(name) != 0; }

    // The cell drawn into `destination` (scaled when the sizes differ).
    void Draw(Gdiplus::Graphics& graphics, const std::string& name, const RECT& destination) const;
    // The cell drawn at its own size with its top-left corner at `at`.
    void DrawAt(Gdiplus::Graphics& graphics, const std::string& name, POINT at) const;

private:
    CombinBitmap() = default;
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
    std::map<std::string, Gdiplus::Rect> cells_;
};

}  // namespace Vantor
