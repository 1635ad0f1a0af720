#include "control/ControlDropTarget.h"

#include "platform/DroppedFiles.h"

namespace Vantor {

DWORD ControlDropTarget::OnDropFiles(HDROP drop)
{
    const std::vector<std::wstring> paths = DroppedFilePaths(drop);
    if (paths.empty() || !add_)
        return DROPEFFECT_NONE;
    return add_(paths) > 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

}  // namespace Vantor
