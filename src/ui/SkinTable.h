#pragma once
// The skin images every window draws from: names and PNG resource ids (201 to 252).
#include <cstddef>
#include <string>

#include "ui/Language.h"

namespace Vantor::UI {

struct SkinEntry {
    const char* name;
    int id;
};

// All 47 entries, by resource id.
const SkinEntry* SkinTable(size_t* count);

// The image of a button with words in it, for a language: "BtnOk" is "BtnOk-en" in English.
// Images without words, or without an English version, are the same in every language.
std::string SkinInLanguage(const std::string& name, Language language);

class ImageLister;

// Fills `into` from the resource module; returns how many loaded (ImageLister::Acquire uses
// it for the shared store).
size_t LoadSkins(ImageLister& into);

}  // namespace Vantor::UI
