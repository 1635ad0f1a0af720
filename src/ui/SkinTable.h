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

// Fills the process-wide ImageLister from the resource module; returns how many loaded.
// Call once when the first window of the interface is built, before anything is drawn.
size_t LoadSkins();

}  // namespace Vantor::UI
