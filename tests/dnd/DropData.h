#pragma once
// What a shell or another program puts into a drag, made by hand for the tests: a data
// object that serves byte blocks by format (global memory only) and counts what it is asked,
// and the CF_HDROP block of a list of paths built from the documented DROPFILES layout.
#include "platform/ComObject.h"

#include <objidl.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

namespace DropTest {

// DROPFILES header, then each path with its terminator, then one more terminator.
inline std::vector<char> HdropBytes(const std::vector<std::wstring>& paths)
{
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::vector<char> bytes(reinterpret_cast<const char*>(&header),
                            reinterpret_cast<const char*>(&header) + sizeof(header));
    for (const std::wstring& path : paths) {
        const char* text = reinterpret_cast<const char*>(path.c_str());
        bytes.insert(bytes.end(), text, text + (path.size() + 1) * sizeof(wchar_t));
    }
    bytes.insert(bytes.end(), sizeof(wchar_t), '\0');
    return bytes;
}

class DropData : public Vantor::ComObject<DropData, IDataObject> {
public:
    void Put(CLIPFORMAT format, std::vector<char> bytes) { blocks_[format] = std::move(bytes); }
    void PutFiles(const std::vector<std::wstring>& paths) { Put(CF_HDROP, HdropBytes(paths)); }
    int getDataCalls() const { return getDataCalls_; }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        ++getDataCalls_;
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        const std::vector<char>& bytes = blocks_.at(format->cfFormat);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!block)
            return E_OUTOFMEMORY;
        memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        *medium = STGMEDIUM{};
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        return S_OK;
    }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        if (!format || !(format->tymed & TYMED_HGLOBAL) || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        return blocks_.count(format->cfFormat) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::map<CLIPFORMAT, std::vector<char>> blocks_;
    int getDataCalls_ = 0;
};

// Files for a drop: made under a fresh folder of the temp directory, removed with it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& path() const { return path_; }
    // Makes a file (a few bytes) at the relative path, with its folders; returns its path.
    std::wstring MakeFile(const std::wstring& relative, size_t bytes = 16);
    std::wstring MakeFolder(const std::wstring& relative);

private:
    std::wstring path_;
};

}  // namespace DropTest
