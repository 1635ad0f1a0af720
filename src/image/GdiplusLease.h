#pragma once
// GDI+ kept running for as long as anything in the process needs it. A control, an upload
// task and every record that holds a GDI+ thumbnail each hold a lease; GDI+ starts with the
// first lease and shuts down when the last one goes, so a record or a worker that outlives
// its control never calls into GDI+ after its shutdown.
//
//   GdiplusLease lease = GdiplusLease::Acquire();
//   if (!lease) ...              // GDI+ could not start
//
// Leases are cheap to copy (a shared count). A holder of GDI+ objects must declare its
// lease before those objects, so that the objects go first.
#include <memory>

namespace Vantor {

class GdiplusLease {
public:
    GdiplusLease() = default;  // holds nothing
    static GdiplusLease Acquire();

    explicit operator bool() const { return static_cast<bool>(session_); }
    // How many leases hold GDI+ now (for tests).
    static long ActiveCount();

    struct Session;  // one GDI+ start-up

private:
    std::shared_ptr<Session> session_;
};

}  // namespace Vantor
