#pragma once
// The process-wide store of skin images by name ("BtnAdd-Normal", "CheckBox-CkHover", ...).
// Images come from PNG resources of the resource module and are drawn with their transparency.
// A name that is not in the store draws nothing.
#include <windows.h>

#include <map>
#include <memory>
#include <string>

namespace Vantor {
class CxImage;
}

namespace Vantor::UI {

class ImageLister {
public:
    // Created on first use (on the UI thread); lives until the module unloads.
    static ImageLister& Instance();

    // Loads PNG resource `id` (type "PNG") of the resource module and stores it under `name`,
    // replacing an image of that name. False when the resource is missing or does not decode.
    bool AddSkin(const std::string& name, int id);
    // Stores a PNG held in memory (the same decoding as AddSkin).
    bool AddSkinPng(const std::string& name, const void* data, size_t size);
    void Clear();

    std::shared_ptr<const CxImage> Find(const std::string& name) const;
    bool Has(const std::string& name) const { return images_.count(name) != 0; }
    // The image's own size, or 0 x 0 for a missing name.
    SIZE GetSize(const std::string& name) const;
    size_t Count() const { return images_.size(); }

    void DrawSkin(HDC dc, const std::string& name, POINT at) const;
    void DrawSkinStretched(HDC dc, const std::string& name, const RECT& rect) const;
    // A grey copy at its own size (disabled icons).
    void DrawSkinGray(HDC dc, const std::string& name, POINT at) const;

private:
    ImageLister() = default;
    std::map<std::string, std::shared_ptr<CxImage>> images_;
};

}  // namespace Vantor::UI
