#pragma once
// The address of the page that holds the control, asked of its container: the document's
// URL (the frame's own, through the client site's container), else the container's moniker,
// else the browser's location (the top page's). Empty when the container says nothing.
#include <ole2.h>

#include <string>

namespace Vantor {

std::wstring PageAddressOf(IOleClientSite* site);

}  // namespace Vantor
