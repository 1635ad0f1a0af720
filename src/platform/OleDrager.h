#pragma once
// Starts an OLE drag in two steps, as a mouse press and the move after it do: Prepare keeps
// the data of the drag a press may start (armed), Run performs it (DoDragDrop, copy as the
// only allowed effect) and blocks in the system's drag loop until the drop or the cancel.
// A drag is run at most once: Run and Cancel disarm. Window thread of an OLE apartment.
#include "platform/Handles.h"

#include <objidl.h>
#include <oleidl.h>

#include <memory>

namespace Vantor {

class OleDrager {
public:
    OleDrager();
    virtual ~OleDrager();
    OleDrager(const OleDrager&) = delete;
    OleDrager& operator=(const OleDrager&) = delete;

    void Prepare(ComPtr<IDataObject> data);
    bool IsArmed() const { return armed_; }
    // Forgets a prepared drag (the button went up without a move).
    void Cancel();
    // Runs the prepared drag. DoDragDrop's result (DRAGDROP_S_DROP, DRAGDROP_S_CANCEL or a
    // failure); S_FALSE when nothing was prepared.
    HRESULT Run();
    // The effect the target reported for the last drag that ran (DROPEFFECT_NONE when it
    // was cancelled or refused).
    DWORD LastEffect() const { return lastEffect_; }

private:
    bool armed_ = false;
    DWORD lastEffect_ = DROPEFFECT_NONE;
    ComPtr<IDataObject> data_;
    ComPtr<IDropSource> source_;
    // False once the drager is gone: a drag loop may outlive its owner (the window that
    // started it destroyed during the drag).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace Vantor
