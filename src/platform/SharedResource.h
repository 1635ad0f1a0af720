#pragma once
// One read-only object that every holder in the process shares, made when the first holder
// asks for it and destroyed when the last holder lets go. Safe to use from any thread.
//
//   static SharedResource<Skins> shared(&LoadSkins);
//   std::shared_ptr<const Skins> lease = shared.Acquire();   // keeps it alive
//   if (auto now = shared.Current()) ...                     // the live one, never made here
//
// A holder that reads the object without a lease of its own (a control drawing) takes
// Current() for the length of its use: the shared pointer keeps the object alive meanwhile.
#include <functional>
#include <memory>
#include <mutex>

namespace Vantor::Win {

template <class T>
class SharedResource {
public:
    // `make` builds a fresh object; it runs under the resource's lock, at most once per
    // generation (from the first lease to the last), and may return null on failure.
    using Factory = std::function<std::unique_ptr<T>()>;

    explicit SharedResource(Factory make) : make_(std::move(make)) {}
    SharedResource(const SharedResource&) = delete;
    SharedResource& operator=(const SharedResource&) = delete;

    // A lease on the live object, made now when there is none; null when making it failed.
    std::shared_ptr<const T> Acquire()
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (std::shared_ptr<const T> live = current_.lock())
            return live;
        std::shared_ptr<const T> made;
        try {
            if (make_)
                made = std::shared_ptr<const T>(make_());
        } catch (...) {
            made = nullptr;
        }
        current_ = made;
        return made;
    }

    // The live object while any lease holds it, else null.
    std::shared_ptr<const T> Current() const
    {
        std::lock_guard<std::mutex> hold(lock_);
        return current_.lock();
    }

    // How many holders share the live object now (leases and readers; 0 when none lives).
    long UseCount() const
    {
        std::lock_guard<std::mutex> hold(lock_);
        return current_.use_count();
    }

private:
    mutable std::mutex lock_;
    Factory make_;
    std::weak_ptr<const T> current_;
};

}  // namespace Vantor::Win
