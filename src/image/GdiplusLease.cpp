#include "image/GdiplusLease.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <mutex>

namespace Vantor {

struct GdiplusLease::Session {
    ULONG_PTR token = 0;
};

namespace {

std::mutex& LeaseLock()
{
    static auto* lock = new std::mutex();  // lives as long as the process
    return *lock;
}

std::weak_ptr<GdiplusLease::Session>& Current()
{
    static auto* current = new std::weak_ptr<GdiplusLease::Session>();
    return *current;
}

// The last lease shuts GDI+ down; under the lock, so that a new first lease starts it
// only after the shutdown is over.
void EndSession(GdiplusLease::Session* session)
{
    try {
        std::lock_guard<std::mutex> hold(LeaseLock());
        if (session->token)
            Gdiplus::GdiplusShutdown(session->token);
    } catch (...) {
    }
    delete session;
}

}  // namespace

GdiplusLease GdiplusLease::Acquire()
{
    GdiplusLease lease;
    try {
        std::lock_guard<std::mutex> hold(LeaseLock());
        lease.session_ = Current().lock();
        if (!lease.session_) {
            ULONG_PTR token = 0;
            const Gdiplus::GdiplusStartupInput input;  // version 1, every option off
            if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
                return GdiplusLease();
            lease.session_ = std::shared_ptr<Session>(new Session{token}, EndSession);
            Current() = lease.session_;
        }
    } catch (...) {
        return GdiplusLease();
    }
    return lease;
}

long GdiplusLease::ActiveCount()
{
    std::lock_guard<std::mutex> hold(LeaseLock());
    return Current().use_count();
}

}  // namespace Vantor
