#pragma once
// Makes the thumbnails of one list off its window thread, on as many threads as the machine
// has cores.
//
// Contract:
// - A job names an item by id and holds the item's record (and its dates); the loader never
//   touches items. When a job is done it posts `readyMessage` (wParam = item id) to the
//   list's window, whose thread finds the item by id and repaints it, or ignores the id when
//   the item is gone. Items can therefore be removed, moved or sorted at any time.
// - A run (Schedule) ends when its last job is done: `doneMessage` is posted with the run's
//   number in wParam. Stop drops the waiting jobs and ends the run without that message;
//   a job already decoding finishes and is still reported.
// - Jobs added with Add (a turned picture) go first and do not start or end a run.
// - Before any waiting picture is decoded, the JPEGs among the waiting jobs get their EXIF
//   previews as stand-in thumbnails (ImageData::ShowPreview), in the jobs' order: each costs a
//   read of the file's first part and a tiny decode, so a whole screen shows in the time of one
//   decode. `readyMessage` is posted for each preview shown, and again when its job is done.
// - No call waits for a decode, the destructor and Shutdown included: the threads are detached
//   and share the loader's state, so the list may go while a picture decodes. Shutdown stops
//   the decodes in flight (they end within milliseconds, their records left to try again)
//   and drops what they would report; the last thread out frees the state.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace Vantor {

class ImageData;
class ItemDates;

class ThumbnailLoader {
public:
    struct Job {
        int32_t itemId = -1;
        std::shared_ptr<ImageData> record;
        std::shared_ptr<ItemDates> dates;  // read too when set
        int boxWidth = 120;
        int boxHeight = 120;
        bool first = false;  // added with Add: kept when a new run is scheduled
        bool previewTried = false;  // its preview was looked for (or none is looked for)
    };

    ThumbnailLoader(UINT readyMessage, UINT doneMessage);
    ~ThumbnailLoader();
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

    // Where the results go; may be null (results are then only stored in the records).
    void SetTarget(HWND window);

    // Starts a new run with these jobs, in order, replacing any waiting job; returns its number.
    uint32_t Schedule(std::vector<Job> jobs);
    // Puts a job in front of the waiting ones.
    void Add(Job job);
    // Puts waiting jobs of these items first, in the given order (what the user now sees).
    void Prioritize(const std::vector<int32_t>& itemIds);
    // Drops the waiting jobs and ends the run without its done message.
    void Stop();
    // Whether a run is going on.
    bool IsRunning() const;
    uint32_t CurrentRun() const;
    // Takes no more jobs, drops the waiting ones and stops the decodes in flight; returns at
    // once, the threads end on their own.
    void Shutdown();

    static unsigned ThreadCount();
    // Threads for loaders made from now on; 0 (the default) gives one per core.
    static void SetThreadCount(unsigned count);
    // Whether EXIF previews stand in while pictures decode (on unless set off; for measuring).
    static void UseEmbeddedPreviews(bool use);
    static bool UsesEmbeddedPreviews();

    struct State;

private:
    const std::shared_ptr<State> state_;
};

}  // namespace Vantor
