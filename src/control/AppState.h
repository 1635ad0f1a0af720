#pragma once
// The run state of the upload: never started, uploading, finished. It never returns to
// "never started"; while uploading, the panel refuses to sort. Each control has its own.
#include <cstdint>
#include <mutex>

namespace Vantor {

class AppState {
public:
    enum State : int32_t { NeverStarted = 0, Uploading = 1, Finished = 2 };

    AppState() = default;
    virtual ~AppState() = default;

    void setUploading();
    void setFinished();
    bool isUploading() const;
    State state() const;

private:
    mutable std::mutex lock_;
    State state_ = NeverStarted;
};

}  // namespace Vantor
