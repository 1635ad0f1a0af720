#pragma once
// Gets a request body's next write ready while the one before it is being sent. A write that
// spans parts of the body (the form text around the file) is gathered into a buffer of its
// own, two buffers used in turn; the caller's check (the boundary search) reads every write's
// bytes. Both run on a helper thread for every write after the first, so that neither the
// copy nor the pass over the bytes holds the link up.
//
//   BodyPrefetch prefetch(parts, check);
//   BodyPrefetch::Span span = prefetch.Prepare(0, prefetch.LengthAt(0, largest));  // here, now
//   for (;;) {
//       if (!span.accepted) ...;                        // the check refused it
//       const uint32_t next = span.position + span.length;
//       if (next < total) prefetch.Start(next, prefetch.LengthAt(next, largest));
//       ... write span.data, span.length ...
//       if (next >= total) break;
//       span = prefetch.Take();                         // waits for the helper
//   }
//
// Spans are prepared strictly in the order asked, one at a time, so a check that keeps state
// across calls sees the body in order. A span's bytes stay valid until the span after the
// next is prepared. The destructor waits for a preparation under way, since it reads the
// caller's memory; one takes well under a millisecond. Without a helper thread (none could be
// made) every span is prepared on the caller's thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Vantor {

class BodyPrefetch {
public:
    struct Part {
        const uint8_t* data;
        uint32_t length;
    };
    // Sees each write's bytes just before they go; false refuses the body from there on.
    using Check = std::function<bool(uint32_t position, const uint8_t* data, uint32_t length)>;

    struct Span {
        uint32_t position = 0;
        uint32_t length = 0;
        const uint8_t* data = nullptr;  // null: no memory to gather it in
        bool accepted = true;
    };

    // A part's rest shorter than this is gathered with what follows rather than written alone.
    static constexpr uint32_t kSmallRest = 64u << 10;

    BodyPrefetch(std::vector<Part> parts, Check check);
    ~BodyPrefetch();
    BodyPrefetch(const BodyPrefetch&) = delete;
    BodyPrefetch& operator=(const BodyPrefetch&) = delete;

    uint32_t total() const { return total_; }
    // The length of the write that starts at position: at most `largest`, and ending where a
    // part ends unless that part's rest is small, so that most writes go out straight from the
    // caller's memory. 0 at or past the end.
    uint32_t LengthAt(uint32_t position, uint32_t largest) const;

    // Prepares a span on this thread and returns it.
    Span Prepare(uint32_t position, uint32_t length);
    // Hands the next span to the helper; Take() returns it.
    void Start(uint32_t position, uint32_t length);
    Span Take();

    struct Shared;  // with the helper thread

private:
    const uint32_t total_;
    std::shared_ptr<Shared> shared_;
    bool helperStarted_ = false;
    bool helperFailed_ = false;
    bool pending_ = false;       // a span was started and not taken
    Span pendingSpan_;           // what Start asked, when the helper could not take it
};

}  // namespace Vantor
