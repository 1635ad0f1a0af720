#include "picker/ItemDragData.h"

#include "platform/ClipFormats.h"
#include "platform/CustomDataObject.h"

#include <atomic>
#include <cstring>

namespace Vantor {

uint32_t NewListCookie()
{
    static std::atomic<uint32_t> last{0};
    uint32_t cookie = ++last;
    if (cookie == 0)
        cookie = ++last;
    return cookie;
}

bool RegisterItemDragFormat() { return ClipFormats::Instance().Register(kItemDragFormat); }

ComPtr<IDataObject> MakeItemDragData(uint32_t listCookie, int32_t itemId)
{
    if (!RegisterItemDragFormat())
        return nullptr;
    const FORMATETC format = ClipFormats::Instance().Lookup(kItemDragFormat);
    const ItemDragTag tag{itemId, GetCurrentProcessId(), listCookie};
    const ComPtr<CustomDataObject> data = MakeComObject<CustomDataObject>();
    if (FAILED(data->SetBytes(format.cfFormat, &tag, sizeof(tag))))
        return nullptr;
    return data;
}

std::optional<int32_t> ReadItemDragData(IDataObject* data, uint32_t listCookie)
{
    FORMATETC format = ClipFormats::Instance().Lookup(kItemDragFormat);
    if (!data || format.cfFormat == 0)
        return std::nullopt;
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) != S_OK)
        return std::nullopt;
    std::optional<ItemDragTag> tag;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal && GlobalSize(medium.hGlobal) >= sizeof(ItemDragTag)) {
        if (const void* bytes = GlobalLock(medium.hGlobal)) {
            ItemDragTag read{};
            std::memcpy(&read, bytes, sizeof(read));
            tag = read;
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    if (!tag || tag->processId != GetCurrentProcessId() || tag->listCookie != listCookie)
        return std::nullopt;
    return tag->itemId;
}

}  // namespace Vantor
