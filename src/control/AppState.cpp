#include "control/AppState.h"

namespace Vantor {

void AppState::setUploading()
{
    const std::lock_guard<std::mutex> guard(lock_);
    state_ = Uploading;
}

void AppState::setFinished()
{
    const std::lock_guard<std::mutex> guard(lock_);
    state_ = Finished;
}

bool AppState::isUploading() const { return state() == Uploading; }

AppState::State AppState::state() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

}  // namespace Vantor
