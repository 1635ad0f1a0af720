#pragma once
// The skin images every window draws from: names and PNG resource ids (201 to 241).
#include <cstddef>

namespace Vantor::UI {

struct SkinEntry {
    const char* name;
    int id;
};

// All 36 entries, by resource id.
const SkinEntry* SkinTable(size_t* count);

class ImageLister;

// Fills `into` from the resource module; returns how many loaded (ImageLister::Acquire uses
// it for the shared store).
size_t LoadSkins(ImageLister& into);

}  // namespace Vantor::UI
