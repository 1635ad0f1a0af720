#pragma once
// The process's table of registered private clipboard formats, by name. A format is
// registered with the system once (RegisterClipboardFormatW) and then described here as
// global memory, content aspect, any index; OffersAny tells whether a data object offers
// one of them. Any thread.
#include <objidl.h>

#include <map>
#include <mutex>
#include <string>

namespace Vantor {

class ClipFormats {
public:
    static ClipFormats& Instance();

    // Registers the name with the system unless it is in the table already. False when the
    // system refuses it (the name then stays unknown).
    bool Register(const std::wstring& name);
    // The name's description; for an unknown name one with format id 0.
    FORMATETC Lookup(const std::wstring& name) const;
    // Whether the data object answers QueryGetData with success for a registered format.
    bool OffersAny(IDataObject* data) const;

private:
    ClipFormats() = default;

    mutable std::mutex mutex_;
    std::map<std::wstring, FORMATETC> formats_;
};

// A description of `format` in global memory with content aspect and any index.
FORMATETC GlobalMemoryFormat(CLIPFORMAT format);

}  // namespace Vantor
