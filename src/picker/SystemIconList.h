#pragma once
// The system's list of small icons, which the shell's item icon indexes point into. The list
// belongs to the system: it is the same for every caller and is never destroyed.
#include <windows.h>
#include <commctrl.h>

namespace Vantor::Shell {

class SystemIconList {
public:
    SystemIconList();
    virtual ~SystemIconList() = default;

    HIMAGELIST Handle() const { return handle_; }

private:
    HIMAGELIST handle_ = nullptr;
};

}  // namespace Vantor::Shell
