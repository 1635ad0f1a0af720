#pragma once
// Which paths the page's "addFile" may add to the upload list.
#include <string>

namespace Vantor {

// True when the name ends, ignoring letter case, in .gif, .png, .jpg or .bmp.
bool HasUploadableExtension(const std::wstring& path);
// True when the path names an existing file (not a folder) with an uploadable extension.
bool IsUploadableImagePath(const std::wstring& path);

}  // namespace Vantor
