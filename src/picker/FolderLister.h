#pragma once
// Lists the pictures of one folder off the window thread, for the add-images dialog's picker.
//
// Platform fact: under Wine each record costs a file open and a random identifier, about 6 ms
// for a folder entry on a busy machine: 300 photos held the window thread for 1.7 s.
//
// Design: each listing runs on a thread of its own and hands over records without pictures
// (ImageData::CreateUnloaded) with the files' dates, in batches: it posts `message` (wParam = the listing's number)
// to the target window, whose thread takes what is ready with Take. A new Start or Stop ends
// the previous listing at its next file; its records are never handed over. Nothing waits for
// a listing: the destructor only stops it, and a thread busy with a slow file (a network
// folder, a file another program holds) ends on its own afterwards, keeping the module
// loaded until it has. The window it reports to may be gone by then.
//
// Listing rules: the folder's own entries in the file system's order, no sub-folders, no
// hidden or system files, no empty files, only the list's picture extensions.
#include <windows.h>

#include "image/PictureKinds.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Vantor {

class ImageData;
class ItemDates;

class FolderLister {
public:
    struct Listed {
        std::shared_ptr<ImageData> record;
        std::shared_ptr<ItemDates> dates;
    };
    using Records = std::vector<Listed>;

    // Makes the record of one listed file; empty to leave the file out. The default opens the
    // file (ImageData::CreateUnloaded) and notes its dates.
    using Reader = std::function<std::optional<Listed>(const std::wstring& path)>;
    static std::optional<Listed> ReadFile(const std::wstring& path);

    FolderLister(HWND target, UINT message, Reader reader = &FolderLister::ReadFile);
    ~FolderLister();
    FolderLister(const FolderLister&) = delete;
    FolderLister& operator=(const FolderLister&) = delete;

    // Starts listing the folder (an empty path lists nothing and ends at once); returns the
    // listing's number. Only files of the given kinds are listed.
    uint32_t Start(const std::wstring& folder, const PictureKinds& kinds = PictureKinds());
    void Stop();
    // The records of listing `run` listed since the last call; `finished` tells whether that
    // listing has ended (nothing more will come). Nothing for an older listing.
    Records Take(uint32_t run, bool& finished);
    bool IsListing() const;

private:
    struct State;
    static void Work(const std::shared_ptr<State>& state, const std::wstring& folder, const PictureKinds& kinds);

    const HWND target_;
    const UINT message_;
    const Reader reader_;
    std::shared_ptr<State> current_;
    uint32_t run_ = 0;
};

}  // namespace Vantor
