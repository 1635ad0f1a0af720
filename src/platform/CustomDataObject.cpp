#include "platform/CustomDataObject.h"

#include <cstring>

namespace Vantor {

HGLOBAL CopyToGlobal(const void* bytes, std::size_t size)
{
    const HGLOBAL block = GlobalAlloc(GMEM_FIXED, size ? size : 1);
    if (block && size)
        std::memcpy(block, bytes, size);  // a fixed block's handle is its address
    return block;
}

HGLOBAL CopyGlobal(HGLOBAL source)
{
    if (!source)
        return nullptr;
    const SIZE_T size = GlobalSize(source);
    const void* const bytes = GlobalLock(source);
    if (!bytes)
        return nullptr;
    const HGLOBAL copy = CopyToGlobal(bytes, size);
    GlobalUnlock(source);
    return copy;
}

CustomDataObject::CustomDataObject() = default;

CustomDataObject::~CustomDataObject() { ReleaseStored(); }

void CustomDataObject::ReleaseStored()
{
    if (medium_.tymed != TYMED_NULL)
        ReleaseStgMedium(&medium_);
    medium_ = STGMEDIUM{};
}

HRESULT CustomDataObject::SetBytes(CLIPFORMAT format, const void* bytes, std::size_t size)
{
    FORMATETC description{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = CopyToGlobal(bytes, size);
    if (!medium.hGlobal)
        return E_OUTOFMEMORY;
    const HRESULT hr = SetData(&description, &medium, TRUE);
    if (FAILED(hr))
        ReleaseStgMedium(&medium);
    return hr;
}

bool CustomDataObject::Matches(const FORMATETC& format) const
{
    return (format.tymed & format_.tymed) != 0 && format.cfFormat == format_.cfFormat &&
           format.dwAspect == format_.dwAspect;
}

STDMETHODIMP CustomDataObject::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_INVALIDARG;
    return Matches(*format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP CustomDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_INVALIDARG;
    *medium = STGMEDIUM{};
    if (!Matches(*format) || format_.tymed != TYMED_HGLOBAL || !medium_.hGlobal)
        return DV_E_FORMATETC;
    const HGLOBAL copy = CopyGlobal(medium_.hGlobal);
    if (!copy)
        return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

STDMETHODIMP CustomDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release)
{
    if (!format || !medium)
        return E_INVALIDARG;
    STGMEDIUM kept = *medium;
    if (!release) {
        // The caller keeps its medium: keep a copy of our own.
        if (medium->tymed != TYMED_HGLOBAL)
            return DV_E_TYMED;
        kept = STGMEDIUM{};
        kept.tymed = TYMED_HGLOBAL;
        kept.hGlobal = CopyGlobal(medium->hGlobal);
        if (!kept.hGlobal)
            return E_OUTOFMEMORY;
    }
    ReleaseStored();
    format_ = *format;
    format_.ptd = nullptr;  // a target device is not kept: every format here is device-free
    format_.tymed = kept.tymed;
    medium_ = kept;
    return S_OK;
}

}  // namespace Vantor
