// The writes a request body goes out in: every byte once and in order, straight from the
// caller's memory wherever one part holds a write, and the check over each write's bytes.
#include "Biz/BodyPrefetch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

std::string RandomText(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// The parts of a multipart body: form text, the file, the closing text.
struct Body {
    std::string head = RandomText(412, 1);
    std::string file;
    std::string tail = RandomText(46, 2);
    std::vector<BodyPrefetch::Part> parts() const
    {
        return {{reinterpret_cast<const uint8_t*>(head.data()), static_cast<uint32_t>(head.size())},
                {reinterpret_cast<const uint8_t*>(file.data()), static_cast<uint32_t>(file.size())},
                {reinterpret_cast<const uint8_t*>(tail.data()), static_cast<uint32_t>(tail.size())}};
    }
    std::string whole() const { return head + file + tail; }
    bool inFile(const uint8_t* data) const
    {
        const auto* start = reinterpret_cast<const uint8_t*>(file.data());
        return data >= start && data < start + file.size();
    }
};

struct Written {
    std::string bytes;
    std::vector<BodyPrefetch::Span> spans;
    std::string checked;
};

// Writes the body as the client does: each span made ready while the one before is "sent".
Written WriteAll(BodyPrefetch& prefetch, uint32_t largest, const std::string& expected)
{
    Written out;
    BodyPrefetch::Span span = prefetch.Prepare(0, prefetch.LengthAt(0, largest));
    for (;;) {
        EXPECT_TRUE(span.accepted);
        EXPECT_NE(span.data, nullptr);
        if (!span.data || !span.accepted)
            break;
        const uint32_t next = span.position + span.length;
        if (next < prefetch.total())
            prefetch.Start(next, prefetch.LengthAt(next, largest));
        // The span's bytes hold while the next one is being prepared.
        const std::string piece(reinterpret_cast<const char*>(span.data), span.length);
        EXPECT_EQ(piece, expected.substr(span.position, span.length)) << "at " << span.position;
        out.bytes += piece;
        out.spans.push_back(span);
        if (next >= prefetch.total())
            break;
        span = prefetch.Take();
    }
    return out;
}

}  // namespace

TEST(BodyPrefetch, EveryByteOnceInOrderAndMostStraightFromTheFile)
{
    Body body;
    body.file = RandomText(5u * 1048576 + 777, 3);
    Written checkedText;
    BodyPrefetch prefetch(body.parts(), [&](uint32_t position, const uint8_t* data, uint32_t length) {
        EXPECT_EQ(position, checkedText.checked.size());  // in order, no gap, no repeat
        checkedText.checked.append(reinterpret_cast<const char*>(data), length);
        return true;
    });
    const Written out = WriteAll(prefetch, 1u << 20, body.whole());
    EXPECT_TRUE(out.bytes == body.whole());
    EXPECT_TRUE(checkedText.checked == body.whole());
    // The form text is gathered with the file's start, the file's end with the closing text;
    // every write between goes from the file's own memory, at the largest size.
    ASSERT_EQ(out.spans.size(), 6u);
    EXPECT_EQ(out.spans.front().length, 1u << 20);
    EXPECT_FALSE(body.inFile(out.spans.front().data));
    for (size_t i = 1; i + 1 < out.spans.size(); ++i) {
        EXPECT_TRUE(body.inFile(out.spans[i].data)) << i;
        EXPECT_EQ(out.spans[i].length, 1u << 20) << i;
    }
    EXPECT_FALSE(body.inFile(out.spans.back().data));
}

TEST(BodyPrefetch, PartEndsAreKeptUnlessTheRestIsSmall)
{
    Body body;
    body.file = RandomText(300000, 4);
    BodyPrefetch prefetch(body.parts(), nullptr);
    // A small rest (the form text) runs on into the file; a large one ends the write.
    EXPECT_EQ(prefetch.LengthAt(0, 1u << 20), body.whole().size());
    EXPECT_EQ(prefetch.LengthAt(0, 4096), 4096u);
    const uint32_t fileStart = static_cast<uint32_t>(body.head.size());
    EXPECT_EQ(prefetch.LengthAt(fileStart, 1u << 20), 300000u);
    EXPECT_EQ(prefetch.LengthAt(fileStart + 1000, 100000), 100000u);
    EXPECT_EQ(prefetch.LengthAt(fileStart + 300000 - 10, 1u << 20), 10u + body.tail.size());
    EXPECT_EQ(prefetch.LengthAt(static_cast<uint32_t>(body.whole().size()), 1u << 20), 0u);
    // Small writes over the whole body still give it back exactly.
    const Written out = WriteAll(prefetch, 7000, body.whole());
    EXPECT_TRUE(out.bytes == body.whole());
}

TEST(BodyPrefetch, RefusedWriteIsMarkedAndTheRestIsNotChecked)
{
    Body body;
    body.file = RandomText(3u * 1048576, 5);
    int calls = 0;
    BodyPrefetch prefetch(body.parts(), [&](uint32_t position, const uint8_t*, uint32_t) {
        ++calls;
        return position < (2u << 20);
    });
    BodyPrefetch::Span span = prefetch.Prepare(0, prefetch.LengthAt(0, 1u << 20));
    int accepted = 0;
    while (span.accepted) {
        ++accepted;
        const uint32_t next = span.position + span.length;
        ASSERT_LT(next, prefetch.total());
        prefetch.Start(next, prefetch.LengthAt(next, 1u << 20));
        span = prefetch.Take();
    }
    EXPECT_EQ(accepted, 2);
    EXPECT_GE(span.position, 2u << 20);
    EXPECT_EQ(calls, 3);
}

TEST(BodyPrefetch, GoesOnlyOnceAPreparationUnderWayHasEnded)
{
    // The helper may still read the body when the writer gives up: the prefetch waits for it,
    // so no check runs once it is gone (and the caller may free the body).
    Body body;
    body.file = RandomText(3u * 1048576, 6);
    std::atomic<bool> gone{false};
    std::atomic<int> late{0};
    std::atomic<int> helped{0};
    for (int round = 0; round < 5; ++round) {
        gone = false;
        {
            BodyPrefetch prefetch(body.parts(), [&](uint32_t position, const uint8_t*, uint32_t) {
                if (position > 0) {
                    ++helped;
                    Sleep(30);  // a slow pass over the bytes
                }
                if (gone)
                    ++late;
                return true;
            });
            const BodyPrefetch::Span first = prefetch.Prepare(0, prefetch.LengthAt(0, 1u << 20));
            prefetch.Start(first.length, prefetch.LengthAt(first.length, 1u << 20));
            Sleep(5);  // the helper begins
        }
        gone = true;
    }
    EXPECT_EQ(late.load(), 0);
    EXPECT_GT(helped.load(), 0);
}
