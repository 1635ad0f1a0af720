#include "platform/OleDrager.h"

#include "platform/IDropSourceImpl.h"

#include <ole2.h>

#include <utility>

namespace Vantor {

OleDrager::OleDrager() : source_(MakeComObject<IDropSourceImpl>()) {}

OleDrager::~OleDrager() { *alive_ = false; }

void OleDrager::Prepare(ComPtr<IDataObject> data)
{
    data_ = std::move(data);
    armed_ = data_ != nullptr;
}

void OleDrager::Cancel()
{
    armed_ = false;
    data_.Reset();
}

HRESULT OleDrager::Run()
{
    if (!armed_)
        return S_FALSE;
    // Disarmed before the loop: the messages it pumps must not start this drag again.
    const ComPtr<IDataObject> data = std::exchange(data_, nullptr);
    const ComPtr<IDropSource> source = source_;
    const std::shared_ptr<bool> alive = alive_;
    armed_ = false;
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT hr = DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY, &effect);
    if (*alive)
        lastEffect_ = hr == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
    return hr;
}

}  // namespace Vantor
