#pragma once
// Which paths the page's "addFile" may add to the upload list.
#include <string>

#include "image/PictureKinds.h"

namespace Vantor {

// Whether a path that a page names may be looked at, decided from its text alone, before
// anything touches the file system. Refused: network paths (\\host\share, also written with
// forward slashes), the \\?\ and \\.\ namespaces and the \??\ prefix (which reach devices and
// network paths too), a file whose name is a device (COM1.jpg), and embedded NULs. Asking
// Windows about \\host\x.jpg would open an SMB connection to a host the page chose, with the
// user's credentials, and stall the window thread. The user's own drops and dialog picks are
// not the page's and do not go through here.
bool IsPathThePageMayName(const std::wstring& path);

// True when the page may name the path and it is an existing file (not a folder) with an
// extension of one of the kinds taken.
bool IsUploadableImagePath(const std::wstring& path, const PictureKinds& kinds = PictureKinds());

}  // namespace Vantor
