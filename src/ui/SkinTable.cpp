#include "ui/SkinTable.h"

#include <iterator>
#include <string>

#include "ui/ImageLister.h"

namespace Vantor::UI {

namespace {
constexpr SkinEntry kSkins[] = {
    {"IcoAdd", 201},
    {"BtnAdd2-Hover", 202},
    {"BtnAdd2-Normal", 203},
    {"BtnAdd-Disable", 204},
    {"BtnAdd-Hover", 205},
    {"BtnAdd-Normal", 206},
    {"BtnCancel", 207},
    {"BtnCloseHover", 208},
    {"BtnCloseNormal", 209},
    {"BtnDisable", 210},
    {"BtnDown", 211},
    {"BtnHover", 212},
    {"BtnMax-Hover", 213},
    {"BtnMax-Normal", 214},
    {"BtnNormal", 215},
    {"BtnOk", 216},
    {"BtnPost-Cancel", 217},
    {"BtnPost-Disable", 218},
    {"BtnPost-Hover", 219},
    {"BtnPost-Normal", 220},
    {"BtnRestore-Hover", 221},
    {"BtnRestore-Normal", 222},
    {"CheckBox-Checked", 223},
    {"CheckBox-CkHover", 224},
    {"CheckBox-Hover", 225},
    {"CheckBox-Normal", 226},
    {"Btn_Delete", 227},
    {"IcoEdit", 228},
    {"IcoInfo", 230},
    {"RotatioLeft", 231},
    {"RotatioRight", 232},
    {"Title_bk", 233},
    {"BtnCloseVNormal", 238},
    {"BtnCloseVHover", 239},
    {"ico-left", 240},
    {"ico-right", 241},
    // The buttons that carry words in their images, with English words.
    {"BtnAdd-Normal-en", 242},
    {"BtnAdd-Hover-en", 243},
    {"BtnAdd-Disable-en", 244},
    {"BtnPost-Normal-en", 245},
    {"BtnPost-Hover-en", 246},
    {"BtnPost-Disable-en", 247},
    {"BtnPost-Cancel-en", 248},
    {"BtnAdd2-Normal-en", 249},
    {"BtnAdd2-Hover-en", 250},
    {"BtnOk-en", 251},
    {"BtnCancel-en", 252},
};
}  // namespace

std::string SkinInLanguage(const std::string& name, Language language)
{
    if (language != Language::En)
        return name;
    const std::string english = name + "-en";
    for (const SkinEntry& entry : kSkins)
        if (english == entry.name)
            return english;
    return name;
}

const SkinEntry* SkinTable(size_t* count)
{
    if (count)
        *count = std::size(kSkins);
    return kSkins;
}

size_t LoadSkins(ImageLister& lister)
{
    size_t loaded = 0;
    for (const SkinEntry& entry : kSkins)
        loaded += lister.AddSkin(entry.name, entry.id) ? 1 : 0;
    return loaded;
}

}  // namespace Vantor::UI
