#pragma once
// The control's upload session: the one place that says whether a task runs, which files it
// holds and which list item shows each of them. The panel, the list and the handlers of the
// engine's reports ask it or listen to Changed; none keeps a flag of its own.
//
//   UploadSession session;
//   session.Changed.connect([&] { ... show session.IsUploading() ... });
//   session.Start(files, items, settings, reports);  // Uploading
//   session.Cancel();                                // still Uploading, CancelRequested()
//   session.End();                                   // on the task's end report: Finished
//
// A task runs from a successful Start until its end report has been handled on the window
// thread (End), not until the engine's thread has let go: everything the window thread does
// for the task's reports sees the task as running. A start refused by the engine changes
// nothing. Window thread only, except where said.
#include "Biz/UploadQueue.h"

#include <boost/signals2/signal.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vantor {

class UploadSession {
public:
    // Never started, then Uploading and Finished in turn; it never goes back to NeverStarted.
    enum class Phase { NeverStarted, Uploading, Finished };

    // Which list item shows which file of the task, by the file's id.
    using ItemIds = std::unordered_map<std::string, int32_t>;

    UploadSession() = default;
    // A task still running goes on alone and stops; its later reports are its observer's.
    ~UploadSession();
    UploadSession(const UploadSession&) = delete;
    UploadSession& operator=(const UploadSession&) = delete;

    // False, with nothing changed, while a task runs, when there is no file or when the engine
    // refuses. The previous task's thread may still be making its last moves after its end
    // was handled; a new start waits for that, briefly, instead of being refused.
    bool Start(std::vector<UploadFile> files, ItemIds items, UploadSettings settings,
               std::shared_ptr<UploadObserver> observer);
    // Asks the running task to stop; it stays Uploading until its end arrives.
    void Cancel();
    // The task's end report reached the window thread.
    void End();

    Phase phase() const { return phase_; }
    bool IsUploading() const { return phase_ == Phase::Uploading; }
    bool CancelRequested() const { return IsUploading() && cancelled_; }
    // The running task's files, in list order; none when no task runs.
    const std::vector<UploadFile>& Files() const { return files_; }
    // The files of the task that ended last, kept until the next start (for what it did).
    const std::vector<UploadFile>& LastTaskFiles() const { return lastFiles_; }
    // The item that showed the file when the task started; -1 when it was in none.
    int32_t ItemOf(const std::string& fileId) const;
    // Any thread: the engine's count of the task's progress.
    UploadTaskProgress Progress() const { return engine_.Progress(); }
    // Any thread: waits until the engine's thread has ended; false when the time ran out.
    bool WaitUntilIdle(std::chrono::milliseconds limit) const { return engine_.WaitUntilIdle(limit); }

    // After every change of IsUploading() or CancelRequested().
    boost::signals2::signal<void()> Changed;

private:
    void changed();

    UploadQueue engine_;
    Phase phase_ = Phase::NeverStarted;
    bool cancelled_ = false;
    std::vector<UploadFile> files_;
    std::vector<UploadFile> lastFiles_;
    ItemIds items_;
};

}  // namespace Vantor
