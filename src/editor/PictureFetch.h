#pragma once
// Decodes a list item's whole picture on a thread of its own, so that the window thread never
// waits for a decode: the edit and preview windows start it, show what they have meanwhile,
// and take the result when the thread posts their window a message.
//
//   ticket = fetch_.Start(record, hwnd(), kPictureReady, make);  // make runs on the thread
//   ... on kPictureReady with wParam == ticket: if (auto r = fetch_.Take(ticket)) ...
//
// A later Start supersedes an earlier one (its result is dropped). The thread holds the record
// and the shared slot, never the window object, so the window may close at any time.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "image/CxImage.h"
#include "image/GdiplusLease.h"

namespace Vantor {

class ImageData;

struct FetchedPicture {
    std::unique_ptr<CxImage> image;           // for the editor
    std::shared_ptr<Gdiplus::Bitmap> bitmap;  // for the preview
    SIZE size{};                              // of the whole picture as decoded
    bool ok = false;
};

class PictureFetch {
public:
    // Turns the decoded picture into what the window needs (on the thread).
    using Make = std::function<FetchedPicture(Gdiplus::Bitmap& picture)>;

    PictureFetch();
    // Returns the ticket the message will carry as wParam (0 when no thread could start).
    uint32_t Start(std::shared_ptr<ImageData> record, HWND window, UINT message, Make make);
    // The result for the ticket when it is the latest one and done; taken once.
    std::optional<FetchedPicture> Take(uint32_t ticket);

private:
    struct Slot {
        GdiplusLease gdiplus = GdiplusLease::Acquire();  // first: outlives the pictures
        std::mutex lock;
        uint32_t latest = 0;
        uint32_t doneTicket = 0;
        std::optional<FetchedPicture> done;
    };
    std::shared_ptr<Slot> slot_;
};

}  // namespace Vantor
