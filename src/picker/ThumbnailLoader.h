#pragma once
// Makes the thumbnails of one list off its window thread, on as many threads as the machine
// has cores.
//
// Contract:
// - A job names an item by id and holds the item's record (and its dates); the loader never
//   touches items. When a job is done, the listener's `shown` gets the item id as work on the
//   list's window thread, which finds the item by id and repaints it, or ignores the id when
//   the item is gone. Items can therefore be removed, moved or sorted at any time.
// - A run (Schedule) ends when its last job is done: the listener's `runEnded` gets the run's
//   number. Stop drops the waiting jobs and ends the run without telling; a job already
//   decoding finishes and is still reported.
// - Jobs added with Add (a turned picture) go first and do not start or end a run.
// - Before any waiting picture is decoded, the JPEGs among the waiting jobs get their EXIF
//   previews as stand-in thumbnails (ImageData::ShowPreview), in the jobs' order: each costs a
//   read of the file's first part and a tiny decode, so a whole screen shows in the time of one
//   decode. `shown` is told of each preview shown, and again when its job is done.
// - No call waits for a decode, the destructor and Shutdown included: the threads are detached
//   and share the loader's state, so the list may go while a picture decodes. Shutdown stops
//   the decodes in flight (they end within milliseconds, their records left to try again)
//   and drops what they would report; the last thread out frees the state.
#include "platform/WindowTasks.h"

#include <cstdint>
#include <functional>
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

    // What the list hears, as work on its window thread.
    struct Listener {
        std::function<void(int32_t itemId)> shown;  // the item's thumbnail or stand-in is in its record
        std::function<void(uint32_t run)> runEnded;
    };

    // Tells nobody: results are only stored in the records.
    ThumbnailLoader();
    ThumbnailLoader(WindowTasks::Poster window, Listener listener);
    ~ThumbnailLoader();
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

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
