#pragma once
// A store of skin images by name ("BtnAdd-Normal", "CheckBox-CkHover", ...), drawn with their
// transparency. A name that is not in the store draws nothing.
//
// The process shares one store, filled from the PNG resources of the resource module and
// read-only after that. Whatever shows skins (a control, a form) holds a lease from Acquire()
// while it exists; the store goes when the last lease does, on whichever thread that is.
// Painting code takes Current() for the length of its drawing.
#include <windows.h>

#include <map>
#include <memory>
#include <string>

namespace Vantor {
class CxImage;
}

namespace Vantor::UI {

class ImageLister;
using SkinLease = std::shared_ptr<const ImageLister>;

class ImageLister {
public:
    // A lease on the process's store, loaded now when no lease holds one. Never null (a
    // store whose resources are missing is empty).
    static SkinLease Acquire();
    // The store the leases hold, or an empty one when none does. Never null.
    static SkinLease Current();
    // How many hold the shared store now (0 when none lives).
    static long LeaseCount();

    ImageLister() = default;

    // Loads PNG resource `id` (type "PNG") of the resource module and stores it under `name`,
    // replacing an image of that name. False when the resource is missing or does not decode.
    bool AddSkin(const std::string& name, int id);
    // Stores a PNG held in memory (the same decoding as AddSkin).
    bool AddSkinPng(const std::string& name, const void* data, size_t size);

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
    std::map<std::string, std::shared_ptr<CxImage>> images_;
};

}  // namespace Vantor::UI
