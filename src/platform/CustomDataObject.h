#pragma once
// A data object that holds one format: what a drag started here offers. It serves copies of
// its bytes in global memory and answers nothing else.
//
// GetData and QueryGetData succeed only for the stored format id and aspect, with a medium
// kind that includes the stored one, and GetData only serves global memory: every other
// request gets DV_E_FORMATETC. SetData replaces the stored format and medium: with the
// release flag the object takes the medium over, without it the object keeps a copy of the
// caller's global memory (other media cannot be copied and are refused) and the caller's
// medium stays the caller's. The stored medium is released with the object.
#include "platform/ComObject.h"

#include <objidl.h>

#include <cstddef>

namespace Vantor {

class CustomDataObject : public ComObject<CustomDataObject, IDataObject> {
public:
    CustomDataObject();
    ~CustomDataObject() override;

    // Stores a copy of `size` bytes under `format` (global memory, content aspect).
    HRESULT SetBytes(CLIPFORMAT format, const void* bytes, std::size_t size);

    // IDataObject
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    bool Matches(const FORMATETC& format) const;
    void ReleaseStored();

    FORMATETC format_{};
    STGMEDIUM medium_{};
};

// A fixed global block holding a copy of `size` bytes; null when memory is short.
HGLOBAL CopyToGlobal(const void* bytes, std::size_t size);
// A fixed global block holding a copy of the block `source`; null when it cannot be read.
HGLOBAL CopyGlobal(HGLOBAL source);

}  // namespace Vantor
