#pragma once
// What the main panel asks of the control that holds it. The panel owns the controls and
// their states; the control owns the upload session, the page's settings and the windows the
// panel opens (editor, preview). Every call is made on the window thread.
#include "platform/ModalRun.h"

#include <cstdint>
#include <string>

namespace Vantor {

class PanelHost {
public:
    // Starts uploading every file of the upload list with a copy of the page's settings taken
    // now. False when nothing started (a task still runs, no file).
    virtual bool StartListUpload() = 0;
    // The one place where a list item's picture is opened for editing or viewing, whichever
    // way the user asked (the edit tool, an item's own buttons, a double click).
    virtual void EditItem(int32_t itemId) = 0;
    virtual void PreviewItem(int32_t itemId) = 0;
    // The folder the add-images dialog opens: the last one the user chose, or the page's
    // "setFolder".
    virtual std::wstring PickFolder() const = 0;
    virtual void SetPickFolder(const std::wstring& folder) = 0;
    // Every modal window the panel runs runs inside one of the control's modal runs, which
    // keep the control alive meanwhile and end the window when the control is closed.
    virtual ModalRuns& Modals() = 0;

protected:
    ~PanelHost() = default;
};

}  // namespace Vantor
