#pragma once
// The control window's own drop target. It receives the shell drops that land outside the
// upload list's window (on the strip above the list, or anywhere while the list is hidden
// because it is empty) and hands the dropped paths to the owner, which adds them to the
// upload list. The drop reports a copy when at least one file was added, no effect otherwise.
#include "platform/CIDropTargetImpl.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace Vantor {

class ControlDropTarget : public CIDropTargetImpl {
public:
    // Adds the dropped paths in order; returns how many were added.
    using AddPaths = std::function<std::size_t(const std::vector<std::wstring>& paths)>;

    explicit ControlDropTarget(AddPaths add) : add_(std::move(add)) {}

protected:
    DWORD OnDropFiles(HDROP drop) override;

private:
    AddPaths add_;
};

}  // namespace Vantor
