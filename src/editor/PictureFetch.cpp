#include "editor/PictureFetch.h"

#include "Biz/ImageData.h"
#include "platform/ModuleThread.h"

namespace Vantor {

PictureFetch::PictureFetch() : slot_(std::make_shared<Slot>()) {}

uint32_t PictureFetch::Start(std::shared_ptr<ImageData> record, HWND window, UINT message, Make make)
{
    uint32_t ticket = 0;
    {
        std::lock_guard<std::mutex> guard(slot_->lock);
        ticket = ++slot_->latest;
        slot_->done.reset();
    }
    std::shared_ptr<Slot> slot = slot_;
    const bool started = StartModuleThread([slot, record, window, message, make, ticket] {
        FetchedPicture result;
        try {
            if (record) {
                if (std::shared_ptr<Gdiplus::Bitmap> picture = record->Picture()) {
                    result = make(*picture);
                    if (result.size.cx == 0)
                        result.size = SIZE{static_cast<LONG>(picture->GetWidth()), static_cast<LONG>(picture->GetHeight())};
                }
            }
        } catch (...) {
            result = FetchedPicture{};
        }
        {
            std::lock_guard<std::mutex> guard(slot->lock);
            if (slot->latest != ticket)
                return;
            slot->done = std::move(result);
            slot->doneTicket = ticket;
        }
        PostMessageW(window, message, ticket, 0);
    });
    return started ? ticket : 0;
}

std::optional<FetchedPicture> PictureFetch::Take(uint32_t ticket)
{
    std::lock_guard<std::mutex> guard(slot_->lock);
    if (ticket != slot_->latest || slot_->doneTicket != ticket || !slot_->done)
        return std::nullopt;
    std::optional<FetchedPicture> result = std::move(slot_->done);
    slot_->done.reset();
    return result;
}

}  // namespace Vantor
