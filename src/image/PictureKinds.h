#pragma once
// Which files count as pictures, by the extension of their name.
//
// The list, the page's "addFile", shell drops and the add-images dialog's listing all take
// the same kinds. By default that is every extension the control decodes; a page may name
// fewer ("Extensions" in "init"), never more: a kind without a decoder would only give the
// user an empty frame.
//
//   PictureKinds kinds = PictureKinds::FromList({L".jpg", L"png"});   // ".jpg" and ".png"
//   kinds.Accepts(L"C:\\Photos\\IMG_0001.JPG");                      // true, any letter case
#include <string>
#include <vector>

namespace Vantor {

class PictureKinds {
public:
    // Every kind the control decodes.
    PictureKinds();

    // The page's list: each entry with or without its dot, in any letter case; entries the
    // control cannot decode, and repeats, are left out. A list left empty by that (or given
    // empty) gives every kind, so that a page's typing slip does not refuse every picture.
    static PictureKinds FromList(const std::vector<std::wstring>& given);

    // The extensions the control decodes, lower case with their dot.
    static const std::vector<std::wstring>& Decodable();

    // True when the file's extension (the part from the last dot of its name, as
    // PathFindExtensionW finds it) is one of the kinds. A path with a NUL in it never is.
    bool Accepts(const std::wstring& path) const;

    const std::vector<std::wstring>& extensions() const { return extensions_; }

private:
    std::vector<std::wstring> extensions_;  // lower case, with the dot
};

}  // namespace Vantor
