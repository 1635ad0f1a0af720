// The preview a camera stores in a JPEG's EXIF block, standing in for the thumbnail while the
// picture decodes: shown before the decode ends, fitted and turned as the thumbnail will be,
// and never when its shape is not the picture's.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "Biz/ImageData.h"
#include "exif_fixture.h"
#include "image/DecodeBudget.h"
#include "image/JpegEncoder.h"
#include "image/PictureLoader.h"
#include "picker/ThumbnailLoader.h"
#include "picture_files.h"

using namespace Vantor;
using namespace std::chrono_literals;

namespace {

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kBlue{20, 40, 220};
constexpr Rgb kRed{230, 20, 20};
constexpr Rgb kGreen{20, 210, 40};

std::vector<uint8_t> JpegOf(uint32_t width, uint32_t height, const std::function<Rgb(uint32_t, uint32_t)>& colour)
{
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    std::vector<uint8_t> out;
    Jpeg::Encode(pixels.data(), width, height, ptrdiff_t(width) * 3, Jpeg::Layout::Rgb, 90, Jpeg::ChromaStep{1, 1}, out);
    return out;
}

std::vector<uint8_t> Solid(uint32_t width, uint32_t height, Rgb colour)
{
    return JpegOf(width, height, [colour](uint32_t, uint32_t) { return colour; });
}

// A blue photo of 800 x 600 stored pixels carrying the preview.
std::vector<uint8_t> Photo(std::vector<uint8_t> preview, int orientation = 0)
{
    testpics::ExifFields fields;
    fields.orientation = orientation;
    fields.preview = std::move(preview);
    return testpics::WithExif(Solid(800, 600, kBlue), testpics::ExifTiff(fields));
}

bool Near(const Gdiplus::Color& c, Rgb want)
{
    const auto close = [](int a, int b) { return a > b - 40 && a < b + 40; };
    return close(c.GetR(), want.r) && close(c.GetG(), want.g) && close(c.GetB(), want.b);
}

Gdiplus::Color PixelAt(const std::shared_ptr<Gdiplus::Image>& image, int x, int y)
{
    Gdiplus::Color c;
    static_cast<Gdiplus::Bitmap*>(image.get())->GetPixel(x, y, &c);
    return c;
}

bool Within(std::chrono::milliseconds limit, const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A window that runs the loader's reports as work, as a list's window does.
struct MessageSink {
    MessageSink() { tasks.SetWindow(window); }
    ~MessageSink()
    {
        tasks.Close();
        DestroyWindow(window);
    }
    ThumbnailLoader::Listener Listener()
    {
        return {[this](int32_t id) {
                    if (onShown)
                        onShown(id);
                },
                {}};
    }
    // The next report that the item shows, looking at the record as it arrives.
    bool NextReady(int32_t itemId, std::chrono::milliseconds limit, const std::function<void()>& onArrival)
    {
        bool arrived = false;
        onShown = [&](int32_t id) {
            if (!arrived && id == itemId) {
                arrived = true;
                onArrival();
            }
        };
        const bool found = Within(limit, [&] {
            MSG msg;
            while (!arrived && PeekMessageW(&msg, window, 0, 0, PM_REMOVE))
                if (!tasks.HandleMessage(msg.hwnd, msg.message))
                    DispatchMessageW(&msg);
            return arrived;
        });
        onShown = nullptr;
        return found;
    }

    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Vantor::WindowTasks tasks;
    std::function<void(int32_t)> onShown;
};

ThumbnailLoader::Job JobFor(int32_t itemId, std::shared_ptr<ImageData> record)
{
    ThumbnailLoader::Job job;
    job.itemId = itemId;
    job.record = std::move(record);
    return job;
}

}  // namespace

TEST(EmbeddedPreview, AMatchingPreviewShowsBeforeTheDecodeEndsAndGivesWayToTheThumbnail)
{
    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"camera.jpg");
    ASSERT_TRUE(testpics::WriteBytes(path, Photo(Solid(160, 120, kRed))));
    const auto record = ImageData::CreateUnloaded(path);
    MessageSink sink;
    ASSERT_TRUE(sink.window);
    ThumbnailLoader loader(sink.tasks.poster(), sink.Listener());

    // Every decode of the process is held back by taking the whole budget.
    DecodeBudget::Share hold = DecodeBudget::Process().Acquire(DecodeBudget::Process().capacity());
    ASSERT_TRUE(hold);
    loader.Schedule({JobFor(7, record)});
    bool pendingAtFirst = false;
    ASSERT_TRUE(sink.NextReady(7, 10s, [&] {
        pendingAtFirst = record->thumbnailState() == ImageData::ThumbnailState::Pending;
    }));
    EXPECT_TRUE(pendingAtFirst);
    ASSERT_TRUE(record->showsPreview());
    const auto preview = record->thumbnail();
    ASSERT_TRUE(preview);
    // Fitted as the thumbnail will be: the picture's 800 x 600 into the 120 box.
    EXPECT_EQ(preview->GetWidth(), 120u);
    EXPECT_EQ(preview->GetHeight(), 90u);
    EXPECT_TRUE(Near(PixelAt(preview, 60, 45), kRed));
    EXPECT_FALSE(record->hasPicture());  // the picture itself is not decoded yet
    EXPECT_EQ(DecodeBudget::Process().waiting(), 1u) << "the decode waits while the preview shows";

    hold.Release();
    bool readyAtSecond = false;
    ASSERT_TRUE(sink.NextReady(7, 20s, [&] {
        readyAtSecond = record->thumbnailState() == ImageData::ThumbnailState::Ready;
    }));
    EXPECT_TRUE(readyAtSecond);
    EXPECT_FALSE(record->showsPreview());
    const auto thumbnail = record->thumbnail();
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->GetWidth(), 120u);
    EXPECT_EQ(thumbnail->GetHeight(), 90u);
    EXPECT_TRUE(Near(PixelAt(thumbnail, 60, 45), kBlue));
}

TEST(EmbeddedPreview, APreviewOfAnotherShapeIsNeverShown)
{
    testpics::TempFolder folder;
    const std::wstring square = folder.file(L"square.jpg");
    ASSERT_TRUE(testpics::WriteBytes(square, Photo(Solid(160, 160, kRed))));
    const auto record = ImageData::CreateUnloaded(square);
    EXPECT_FALSE(record->ShowPreview(120, 120));
    EXPECT_FALSE(record->thumbnail());

    // Through the loader too: the first word on the item is its decoded thumbnail.
    MessageSink sink;
    ThumbnailLoader loader(sink.tasks.poster(), sink.Listener());
    DecodeBudget::Share hold = DecodeBudget::Process().Acquire(DecodeBudget::Process().capacity());
    loader.Schedule({JobFor(3, record)});
    ASSERT_TRUE(Within(10s, [] { return DecodeBudget::Process().waiting() == 1; }));
    EXPECT_FALSE(record->thumbnail());
    hold.Release();
    bool readyAtFirst = false;
    ASSERT_TRUE(sink.NextReady(3, 20s, [&] {
        readyAtFirst = record->thumbnailState() == ImageData::ThumbnailState::Ready;
    }));
    EXPECT_TRUE(readyAtFirst);
    EXPECT_TRUE(Near(PixelAt(record->thumbnail(), 60, 45), kBlue));
}

TEST(EmbeddedPreview, TheShapeMustBeThePicturesWithinOnePercent)
{
    testpics::TempFolder folder;
    struct Case {
        uint32_t width, height;
        bool shown;
    };
    // 800 x 600 is 1.333: 160 x 121 is 0.8% off, 160 x 118 1.7%, 162 x 120 1.3%.
    for (const Case c : {Case{160, 120, true}, Case{160, 121, true}, Case{161, 120, true}, Case{160, 118, false},
                         Case{162, 120, false}, Case{120, 160, false}}) {
        const std::wstring path = folder.file(L"shape.jpg");
        ASSERT_TRUE(testpics::WriteBytes(path, Photo(Solid(c.width, c.height, kRed))));
        const PictureSummary summary = LoadPreview(path, 0, 120, 120);
        EXPECT_EQ(summary.decoded, c.shown) << c.width << " x " << c.height;
    }
    // A preview smaller than the thumbnail would have to be enlarged: not shown.
    const std::wstring tiny = folder.file(L"tiny.jpg");
    ASSERT_TRUE(testpics::WriteBytes(tiny, Photo(Solid(80, 60, kRed))));
    EXPECT_FALSE(LoadPreview(tiny, 0, 120, 120).decoded);
    // A file without a preview, and one that is no JPEG, give none.
    const std::wstring plain = folder.file(L"plain.jpg");
    ASSERT_TRUE(testpics::WriteBytes(plain, Solid(800, 600, kBlue)));
    EXPECT_FALSE(LoadPreview(plain, 0, 120, 120).decoded);
    const std::wstring text = folder.file(L"text.jpg");
    ASSERT_TRUE(testpics::WriteBytes(text, std::vector<uint8_t>(5000, 'x')));
    EXPECT_FALSE(LoadPreview(text, 0, 120, 120).decoded);
}

TEST(EmbeddedPreview, AnOrientationSixPhotosPreviewShowsUpright)
{
    // Stored as the camera saw it: left half red, right half green. Orientation 6 turns it a
    // quarter clockwise, so the left half ends on top.
    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"upright.jpg");
    const auto halves = JpegOf(160, 120, [](uint32_t x, uint32_t) { return x < 80 ? kRed : kGreen; });
    ASSERT_TRUE(testpics::WriteBytes(path, Photo(halves, 6)));
    const auto record = ImageData::CreateUnloaded(path);
    ASSERT_TRUE(record->ShowPreview(120, 120));
    const auto preview = record->thumbnail();
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->GetWidth(), 90u);
    EXPECT_EQ(preview->GetHeight(), 120u);
    EXPECT_TRUE(Near(PixelAt(preview, 45, 20), kRed));
    EXPECT_TRUE(Near(PixelAt(preview, 45, 100), kGreen));

    // A turn by the user while it shows: the preview goes, placed for the turns before it.
    record->Turn(1);
    EXPECT_FALSE(record->thumbnail());
    // Shown again for the turns now: a quarter more puts the red half on the right.
    ASSERT_TRUE(record->ShowPreview(120, 120));
    const auto turned = record->thumbnail();
    EXPECT_EQ(turned->GetWidth(), 120u);
    EXPECT_EQ(turned->GetHeight(), 90u);
    EXPECT_TRUE(Near(PixelAt(turned, 100, 45), kRed));
    EXPECT_TRUE(Near(PixelAt(turned, 20, 45), kGreen));

    // The decoded thumbnail takes its place at the same size.
    ASSERT_TRUE(record->BuildThumbnail(120, 120));
    EXPECT_FALSE(record->showsPreview());
    EXPECT_EQ(record->thumbnail()->GetWidth(), 120u);
    EXPECT_EQ(record->thumbnail()->GetHeight(), 90u);
}
