#pragma once
// Where one file stands in the current upload, as the list's progress band shows it.
#include <cstdint>

namespace Vantor {

enum class UploadPhase : int32_t {
    None,           // not part of any upload yet
    Waiting,        // in the task, not started
    Sending,        // its request is going out (sent of size bytes of the picture)
    AwaitingReply,  // every byte went out; the server has not answered yet
    Retrying,       // a try failed for a transient reason; the next one waits for its time
    Done,           // the server accepted it
    Failed,         // it ended without success (the band shows no progress)
};

struct UploadStatus {
    UploadPhase phase = UploadPhase::None;
    uint32_t sent = 0;  // bytes of the picture sent
    uint32_t size = 0;  // bytes of the picture as encoded; 0 before it is prepared

    // The share of the picture sent, 0 to 1 (1 once every byte went out).
    double share() const
    {
        if (phase == UploadPhase::AwaitingReply || phase == UploadPhase::Done)
            return 1.0;
        if (phase != UploadPhase::Sending || size == 0)
            return 0.0;
        return sent >= size ? 1.0 : static_cast<double>(sent) / size;
    }
};

}  // namespace Vantor
