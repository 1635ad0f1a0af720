#include "platform/CIDropTargetImpl.h"

#include "platform/ClipFormats.h"
#include "platform/ComObject.h"

#include <ole2.h>
#include <shellapi.h>

namespace Vantor {

// The COM object the system holds: it forwards to its owner while attached.
class CIDropTargetImpl::Link : public ComObject<Link, IDropTarget> {
public:
    explicit Link(CIDropTargetImpl* owner) : owner_(owner) {}
    void Detach() { owner_ = nullptr; }

    STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override
    {
        try {
            if (owner_)
                return owner_->DragEnter(data, keyState, point, effect);
        } catch (...) {
        }
        return Refuse(effect, S_OK);
    }
    STDMETHODIMP DragOver(DWORD keyState, POINTL point, DWORD* effect) override
    {
        try {
            if (owner_)
                return owner_->DragOver(keyState, point, effect);
        } catch (...) {
        }
        return Refuse(effect, S_OK);
    }
    STDMETHODIMP DragLeave() override
    {
        try {
            if (owner_)
                return owner_->DragLeave();
        } catch (...) {
        }
        return S_OK;
    }
    STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override
    {
        try {
            if (owner_)
                return owner_->Drop(data, keyState, point, effect);
        } catch (...) {
        }
        return Refuse(effect, S_FALSE);
    }

private:
    static HRESULT Refuse(DWORD* effect, HRESULT result)
    {
        if (effect)
            *effect = DROPEFFECT_NONE;
        return result;
    }

    CIDropTargetImpl* owner_;
};

namespace {

bool Offers(IDataObject* data, FORMATETC format) { return data && data->QueryGetData(&format) == S_OK; }

}  // namespace

CIDropTargetImpl::CIDropTargetImpl() : link_(MakeComObject<Link>(this)) {}

CIDropTargetImpl::~CIDropTargetImpl()
{
    RevokeDropTarget();
    link_->Detach();
}

IDropTarget* CIDropTargetImpl::DropTarget() const { return link_.Get(); }

HRESULT CIDropTargetImpl::RegisterDropTarget(HWND window)
{
    if (window_)
        return DRAGDROP_E_ALREADYREGISTERED;
    const HRESULT hr = RegisterDragDrop(window, link_.Get());
    if (SUCCEEDED(hr))
        window_ = window;
    return hr;
}

void CIDropTargetImpl::RevokeDropTarget()
{
    if (window_)
        RevokeDragDrop(window_);
    window_ = nullptr;
}

DWORD CIDropTargetImpl::ChooseEffect(DWORD keyState, DWORD allowed)
{
    DWORD chosen = DROPEFFECT_NONE;
    if (keyState & MK_CONTROL)
        chosen = allowed & DROPEFFECT_COPY;
    else if (keyState & MK_SHIFT)
        chosen = allowed & DROPEFFECT_MOVE;
    if (chosen == DROPEFFECT_NONE) {
        if (allowed & DROPEFFECT_MOVE)
            chosen = DROPEFFECT_MOVE;
        else if (allowed & DROPEFFECT_COPY)
            chosen = DROPEFFECT_COPY;
    }
    return chosen;
}

DWORD CIDropTargetImpl::EffectFor(DWORD keyState, DWORD allowed) const
{
    if (!acceptable_)
        return DROPEFFECT_NONE;
    if (files_)
        return allowed & DROPEFFECT_COPY;
    return ChooseEffect(keyState, allowed);
}

HRESULT CIDropTargetImpl::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    acceptable_ = false;
    files_ = false;
    if (enabled_ && data) {
        files_ = Offers(data, GlobalMemoryFormat(CF_HDROP));
        // Files are only ever copied: a source that does not allow it is refused.
        acceptable_ = (files_ && (*effect & DROPEFFECT_COPY)) || (ClipFormats::Instance().OffersAny(data) && AcceptsCustom(data));
    }
    *effect = EffectFor(keyState, *effect);
    return S_OK;
}

HRESULT CIDropTargetImpl::DragOver(DWORD keyState, POINTL, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    *effect = EffectFor(keyState, *effect);
    return S_OK;
}

HRESULT CIDropTargetImpl::DragLeave() { return S_OK; }

HRESULT CIDropTargetImpl::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (!acceptable_ || !data)
        return S_FALSE;

    if (allowed & DROPEFFECT_COPY) {
        FORMATETC files = GlobalMemoryFormat(CF_HDROP);
        STGMEDIUM medium{};
        if (data->GetData(&files, &medium) == S_OK) {
            DWORD done = DROPEFFECT_NONE;
            if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
                // Locked for the handler, as a drop handle is read while it is held.
                GlobalLock(medium.hGlobal);
                try {
                    done = OnDropFiles(static_cast<HDROP>(medium.hGlobal));
                } catch (...) {
                    done = DROPEFFECT_NONE;
                }
                GlobalUnlock(medium.hGlobal);
            }
            ReleaseStgMedium(&medium);
            *effect = done & DROPEFFECT_COPY;
            return S_OK;
        }
        FORMATETC bitmap{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
        medium = STGMEDIUM{};
        if (data->GetData(&bitmap, &medium) == S_OK) {
            DWORD done = DROPEFFECT_NONE;
            if (medium.tymed == TYMED_GDI && medium.hBitmap) {
                try {
                    done = OnDropBitmap(medium.hBitmap);
                } catch (...) {
                    done = DROPEFFECT_NONE;
                }
            }
            ReleaseStgMedium(&medium);
            *effect = done & DROPEFFECT_COPY;
            return S_OK;
        }
    }
    if (ClipFormats::Instance().OffersAny(data)) {
        const DWORD chosen = ChooseEffect(keyState, allowed);
        DWORD done = DROPEFFECT_NONE;
        try {
            done = OnDropCustom(data, keyState, point, chosen);
        } catch (...) {
            done = DROPEFFECT_NONE;
        }
        *effect = done & allowed;
    }
    return S_OK;
}

DWORD CIDropTargetImpl::OnDropFiles(HDROP) { return DROPEFFECT_NONE; }

DWORD CIDropTargetImpl::OnDropBitmap(HBITMAP) { return DROPEFFECT_NONE; }

DWORD CIDropTargetImpl::OnDropCustom(IDataObject*, DWORD, POINTL, DWORD) { return DROPEFFECT_NONE; }

}  // namespace Vantor
