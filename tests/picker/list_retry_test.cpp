// Thumbnails that could not be made for now (a file locked by another program) are made
// when the item is shown again; a loader that goes while a picture decodes neither waits
// for it nor reports it.
#include "ListFixture.h"

#include <chrono>

#include "Biz/ImageData.h"
#include "image/DecodeBudget.h"
#include "picker/ThumbnailLoader.h"
#include "platform/Handles.h"
#include "progressive_jpeg.h"

using namespace listtest;
using Vantor::ImageData;
using Clock = std::chrono::steady_clock;

TEST_F(ListFixture, AThumbnailOfALockedFileIsMadeWhenItsItemIsShownAgain)
{
    const std::wstring path = Picture(L"locked.jpg", 640, 480);
    {
        Vantor::UniqueFileHandle lock(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        list_->AddFiles({path});
        ASSERT_TRUE(WaitForThumbnails());
        const auto record = list_->Items()[0]->Record();
        EXPECT_EQ(record->thumbnailState(), ImageData::ThumbnailState::Unavailable);
        EXPECT_FALSE(record->hasPicture());
    }
    // Painted again (a scroll, a hover, the page shown again): made now.
    const auto record = list_->Items()[0]->Record();
    ASSERT_TRUE(PumpUntil([&] {
        InvalidateRect(list_->hwnd(), nullptr, FALSE);
        return record->thumbnailState() == ImageData::ThumbnailState::Ready;
    }));
    EXPECT_TRUE(record->hasPicture());
    EXPECT_EQ(record->width(), 640u);
    EXPECT_FALSE(record->PrepareUpload().encoded.empty());
}

TEST(ThumbnailLoaderTeardown, GoesAtOnceWhileAPictureDecodesAndLeavesItToBeTriedAgain)
{
    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"bomb.jpg");
    ASSERT_TRUE(testpics::WriteBytes(path, testpics::ScanBomb(8192, 2999)));
    const auto record = ImageData::CreateUnloaded(path);
    const Vantor::DecodeBudget& budget = Vantor::DecodeBudget::Process();
    auto loader = std::make_unique<Vantor::ThumbnailLoader>();
    Vantor::ThumbnailLoader::Job job;
    job.itemId = 1;
    job.record = record;
    loader->Schedule({job});
    // Its decode has taken its share of memory: it is under way.
    ASSERT_TRUE(PumpUntil([&] { return budget.inUse() > 0; }, 10000));
    const auto start = Clock::now();
    loader.reset();
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 0.1);
    // The decode ends on its own, stopped: the record is not marked as no picture.
    ASSERT_TRUE(PumpUntil([&] { return budget.inUse() == 0; }, 10000));
    EXPECT_EQ(record->thumbnailState(), ImageData::ThumbnailState::Unavailable);
}
