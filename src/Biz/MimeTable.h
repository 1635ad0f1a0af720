#pragma once
// The Content-Type of a file part, chosen by the extension of the upload file name.
#include <string>
#include <string_view>

namespace Vantor {

// The extension as the shell finds it (from the last dot of the last path component, dot
// included), looked up byte for byte, so ".JPG" is not ".jpg". Unknown extensions, names
// without one and URL-encoded names ("a%2Ejpg") get "application/octet-stream".
std::string MimeTypeOf(const std::string& fileName);

}  // namespace Vantor
