#include "platform/ClipFormats.h"

#include <vector>

namespace Vantor {

FORMATETC GlobalMemoryFormat(CLIPFORMAT format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

ClipFormats& ClipFormats::Instance()
{
    static ClipFormats table;
    return table;
}

bool ClipFormats::Register(const std::wstring& name)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (formats_.count(name))
        return true;
    const UINT id = RegisterClipboardFormatW(name.c_str());
    if (id == 0)
        return false;
    formats_.emplace(name, GlobalMemoryFormat(static_cast<CLIPFORMAT>(id)));
    return true;
}

FORMATETC ClipFormats::Lookup(const std::wstring& name) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = formats_.find(name);
    return found != formats_.end() ? found->second : GlobalMemoryFormat(0);
}

bool ClipFormats::OffersAny(IDataObject* data) const
{
    if (!data)
        return false;
    std::vector<FORMATETC> formats;
    {
        // The data object is asked outside the lock: it may be anyone's.
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : formats_)
            formats.push_back(entry.second);
    }
    for (FORMATETC& format : formats) {
        if (data->QueryGetData(&format) == S_OK)
            return true;
    }
    return false;
}

}  // namespace Vantor
