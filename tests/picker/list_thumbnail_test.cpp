// Thumbnails made off the window thread: sizes, turns, records kept across refreshes, results
// for items that are gone, and a thousand rounds of changes while the loaders run.
#include "ListFixture.h"

#include <random>

#include "Biz/ImageData.h"
#include "picker/ThumbnailLoader.h"
#include "test_pictures.h"

using namespace listtest;
using Vantor::ImageData;

namespace {

SIZE ThumbSize(const Vantor::ListViewItem& item)
{
    const auto thumbnail = item.Record()->thumbnail();
    if (!thumbnail)
        return SIZE{0, 0};
    return SIZE{static_cast<LONG>(thumbnail->GetWidth()), static_cast<LONG>(thumbnail->GetHeight())};
}

}  // namespace

TEST_F(ListFixture, ItemsComeAtOnceAndTheirThumbnailsLaterOnOtherThreads)
{
    EXPECT_GE(Vantor::ThumbnailLoader::ThreadCount(), 1u);
    const std::wstring wide = Picture(L"wide.jpg", 640, 480);
    const std::wstring tall = Picture(L"tall.png", 480, 640);
    const std::wstring small = Picture(L"small.gif", 100, 80);
    const int before = thumbnailsLoaded_;
    list_->AddFiles({wide, tall, small});
    ASSERT_EQ(list_->Count(), 3);
    ASSERT_TRUE(PumpUntil([&] { return thumbnailsLoaded_ > before; }));
    EXPECT_EQ(thumbnailsLoaded_, before + 1);
    for (const auto& item : list_->Items())
        EXPECT_EQ(item->Record()->thumbnailState(), ImageData::ThumbnailState::Ready);
    EXPECT_EQ(ThumbSize(*list_->Items()[0]).cx, 120);
    EXPECT_EQ(ThumbSize(*list_->Items()[0]).cy, 90);
    EXPECT_EQ(ThumbSize(*list_->Items()[1]).cx, 90);
    EXPECT_EQ(ThumbSize(*list_->Items()[1]).cy, 120);
    EXPECT_EQ(ThumbSize(*list_->Items()[2]).cx, 100);
    EXPECT_EQ(ThumbSize(*list_->Items()[2]).cy, 80);
}

TEST_F(ListFixture, ATurnShowsAtOnceAndIsRemadeIntoTheSameBoxAsEveryOtherThumbnail)
{
    list_->AddFiles({Picture(L"wide.jpg", 640, 480), Picture(L"tall.png", 480, 640), Picture(L"flat.png", 800, 200)});
    ASSERT_TRUE(WaitForThumbnails());
    auto& wide = *list_->Items()[0];
    auto& tall = *list_->Items()[1];
    auto& flat = *list_->Items()[2];
    wide.RotateImageLeft();
    // At once: the held thumbnail turned in memory.
    EXPECT_EQ(ThumbSize(wide).cx, 90);
    EXPECT_EQ(ThumbSize(wide).cy, 120);
    tall.RotateImageLeft();
    flat.RotateImageRight();
    flat.RotateImageRight();
    ASSERT_TRUE(WaitForThumbnails());
    // Remade from the file: the same box as untouched thumbnails, never the whole cell.
    EXPECT_EQ(tall.Record()->quarterTurns(), 3);
    EXPECT_EQ(tall.Record()->width(), 640u);
    EXPECT_EQ(ThumbSize(tall).cx, 120);
    EXPECT_EQ(ThumbSize(tall).cy, 90);
    EXPECT_EQ(ThumbSize(wide).cx, 90);
    EXPECT_EQ(ThumbSize(wide).cy, 120);
    EXPECT_EQ(flat.Record()->quarterTurns(), 2);
    EXPECT_EQ(ThumbSize(flat).cx, 120);
    EXPECT_EQ(ThumbSize(flat).cy, 30);
}

TEST_F(ListFixture, ARefreshKeepsRecordsRenamesTurnsAndIds)
{
    AddPictures(3);
    auto& item = *list_->Items()[1];
    const auto record = item.Record();
    const std::string recordId = record->id();
    record->setRemark(L"renamed");
    item.RotateImageRight();
    ASSERT_TRUE(WaitForThumbnails());
    const int before = thumbnailsLoaded_;
    list_->StartThumbnailLoading();
    ASSERT_TRUE(PumpUntil([&] { return thumbnailsLoaded_ > before; }));
    EXPECT_EQ(item.Record(), record);
    EXPECT_EQ(record->id(), recordId);
    EXPECT_EQ(record->remark(), L"renamed");
    EXPECT_EQ(record->quarterTurns(), 1);
    EXPECT_EQ(item.Id(), 1);
}

TEST_F(ListFixture, ATurnBeforeTheThumbnailExistsIsKept)
{
    list_->AddFiles({Picture(L"wide.bmp", 640, 480)});
    auto& item = *list_->Items()[0];
    item.RotateImageRight();  // most likely still pending; either way the turn must count
    ASSERT_TRUE(WaitForThumbnails());
    ASSERT_TRUE(PumpUntil([&] { return ThumbSize(item).cy > ThumbSize(item).cx; }, 10000));
    EXPECT_EQ(item.Record()->quarterTurns(), 1);
    EXPECT_EQ(item.Record()->width(), 480u);
}

TEST_F(ListFixture, StoppingOrClearingEndsTheRunWithoutItsSignalAndANewRunSupersedesTheOld)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < 30; ++i)
        paths.push_back(Picture(L"big" + std::to_wstring(i) + L".jpg", 1600, 1200));
    list_->AddFiles(paths);
    list_->Clear();
    const int after = thumbnailsLoaded_;
    // Results for items that are gone are ignored; no signal comes.
    PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(thumbnailsLoaded_, after);
    EXPECT_FALSE(list_->IsLoadingThumbnails());

    list_->AddFiles(paths);
    list_->StartThumbnailLoading();  // supersedes the run the add started
    ASSERT_TRUE(PumpUntil([&] { return thumbnailsLoaded_ > after; }));
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(thumbnailsLoaded_, after + 1);
}

TEST_F(ListFixture, WhatTheUserSeesGetsItsThumbnailsFirst)
{
    // The order in which thumbnails arrive.
    std::vector<int32_t> arrivals;
    list_ = std::make_unique<Vantor::ListView>();
    Vantor::ListView* list = list_.get();
    ASSERT_TRUE(list->Create(host_->get(), 0, 0, kWidth, kHeight));
    list->ThumbnailShown.connect([&](int32_t id) { arrivals.push_back(id); });
    std::vector<std::wstring> paths;
    for (int i = 0; i < 30; ++i)
        paths.push_back(Picture(L"v" + std::to_wstring(i) + L".jpg", 1600, 1200));
    list->AddFiles(paths);
    // Straight to the end: the last rows are what the user sees now.
    SendMessageW(list->hwnd(), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    // Jobs finished before the scroll could not be put behind; on a busy machine there are some.
    size_t doneBefore = 0;
    for (const auto& item : list->Items())
        doneBefore += item->Record()->thumbnailState() != ImageData::ThumbnailState::Pending;
    int first = 0, end = 0;
    list->Geometry().VisibleRange(list->Count(), list->Columns(), list->ScrollPos(), list->ClientHeight(), first, end);
    ASSERT_GT(first, 0);
    ASSERT_TRUE(WaitForThumbnails());
    ASSERT_TRUE(PumpUntil([&] { return arrivals.size() >= paths.size(); }));
    // Only the jobs done or running when the user scrolled may come before them.
    const size_t allowed =
        static_cast<size_t>(end - first) + doneBefore + 2 * Vantor::ThumbnailLoader::ThreadCount();
    ASSERT_LT(allowed, paths.size()) << "the machine was too busy for the order to show";
    for (int i = first; i < end; ++i) {
        const int32_t id = list->Items()[i]->Id();
        const auto at = std::find(arrivals.begin(), arrivals.end(), id);
        ASSERT_NE(at, arrivals.end());
        EXPECT_LT(static_cast<size_t>(at - arrivals.begin()), allowed)
            << "item " << id << ", arrivals " << ::testing::PrintToString(arrivals);
    }
}

TEST_F(ListFixture, AThousandRoundsOfChangesWhileThumbnailsAreMadeLoseNothing)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < 12; ++i)
        paths.push_back(Picture(L"r" + std::to_wstring(i) + (i % 2 ? L".jpg" : L".png"), 320 + i * 8, 240));
    std::mt19937 random(20261208);
    // What the user did to each record that is still in the list: its remark and turns.
    struct Expect {
        std::shared_ptr<ImageData> record;
        std::wstring remark;
        int turns;
    };
    std::vector<Expect> expected;
    int rounds = 0;
    for (; rounds < 1000; ++rounds) {
        switch (random() % 8) {
        case 0:
            list_->Clear();
            expected.clear();
            break;
        case 1:
        case 2: {
            std::vector<std::wstring> some;
            for (int i = 0; i < 4; ++i)
                some.push_back(paths[random() % paths.size()]);
            list_->AddFiles(some);
            break;
        }
        case 3:
            if (!list_->IsEmpty())
                list_->RemoveItem(list_->Items()[random() % list_->Count()]->Id());
            break;
        case 4:
            list_->Sort(static_cast<int>(random() % 4));
            break;
        case 5:
            if (!list_->IsEmpty()) {
                auto& item = *list_->Items()[random() % list_->Count()];
                const std::wstring name = L"n" + std::to_wstring(rounds);
                item.Record()->setRemark(name);
            }
            break;
        case 6:
            if (!list_->IsEmpty()) {
                auto& item = *list_->Items()[random() % list_->Count()];
                if (random() % 2)
                    item.RotateImageLeft();
                else
                    item.RotateImageRight();
            }
            break;
        case 7:
            list_->StartThumbnailLoading();
            break;
        }
        // Record what each remaining record should keep.
        expected.clear();
        for (const auto& item : list_->Items()) {
            const auto record = item->Record();
            expected.push_back({record, record->remark(), record->quarterTurns()});
        }
        Pump();
    }
    EXPECT_EQ(rounds, 1000);
    list_->StartThumbnailLoading();
    ASSERT_TRUE(WaitForThumbnails());
    ASSERT_EQ(expected.size(), static_cast<size_t>(list_->Count()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& record = expected[i].record;
        EXPECT_EQ(record->remark(), expected[i].remark);
        EXPECT_EQ(record->quarterTurns(), expected[i].turns);
        // The thumbnail shows the turns: an odd count makes the wide picture tall.
        if (record->thumbnailState() == ImageData::ThumbnailState::Ready) {
            const auto thumbnail = record->thumbnail();
            ASSERT_TRUE(thumbnail);
            const bool tall = thumbnail->GetHeight() > thumbnail->GetWidth();
            EXPECT_EQ(tall, expected[i].turns % 2 == 1) << i;
        }
    }
}

namespace {

// The item painted on a canvas of its own; the colour at a point of the cell.
Gdiplus::Color PaintedAt(Vantor::ListViewItem& item, int x, int y)
{
    const RECT cell = item.GetRect();
    Gdiplus::Bitmap canvas(cell.right + 10, cell.bottom + 10, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
        item.Paint(graphics, cell);
    }
    Gdiplus::Color colour;
    canvas.GetPixel(cell.left + x, cell.top + y, &colour);
    return colour;
}

bool IsRed(const Gdiplus::Color& c) { return c.GetR() > 150 && c.GetG() < 90 && c.GetB() < 90; }

}  // namespace

TEST_F(ListFixture, TurnedThumbnailsPaintAtOnceAndAfterTheyAreRemade)
{
    const auto redAt = [](uint32_t, uint32_t) { return RGBQUAD{20, 20, 210, 255}; };
    // An indexed PNG too: the platform cannot turn those in place.
    ASSERT_TRUE(testpics::WriteBytes(folder_.file(L"red-indexed.png"),
                                     testpics::WritePng(640, 480, testpics::PngKind::Palette, redAt)));
    ASSERT_TRUE(testpics::WriteBytes(folder_.file(L"red-1bit.png"),
                                     testpics::WritePng(640, 480, testpics::PngKind::Palette1, redAt)));
    for (const wchar_t* name : {L"red.png", L"red.jpg", L"red.bmp", L"red-indexed.png", L"red-1bit.png"}) {
        const std::wstring path = folder_.file(name);
        if (!testpics::FileExists(path)) {
            ASSERT_TRUE(testpics::WritePicture(path, testpics::Make24(640, 480, redAt), wcsrchr(name, L'.') + 1));
        }
        list_->Clear();
        list_->AddFiles({path});
        ASSERT_TRUE(WaitForThumbnails());
        auto& item = *list_->Items()[0];
        // The thumbnail (120 x 90) is centred in the upper part of the 150 x 151 cell.
        EXPECT_TRUE(IsRed(PaintedAt(item, 75, 61))) << name;
        EXPECT_TRUE(IsRed(PaintedAt(item, 75 - 55, 61))) << name;
        item.RotateImageRight();
        EXPECT_TRUE(IsRed(PaintedAt(item, 75, 61))) << name << " turned in memory";
        EXPECT_FALSE(IsRed(PaintedAt(item, 75 - 55, 61))) << name << " turned in memory";
        ASSERT_TRUE(PumpUntil([&] { return ThumbSize(item).cy == 120 && !list_->IsLoadingThumbnails(); }));
        list_->StartThumbnailLoading();
        ASSERT_TRUE(WaitForThumbnails());
        EXPECT_TRUE(IsRed(PaintedAt(item, 75, 61))) << name << " remade";
        EXPECT_TRUE(IsRed(PaintedAt(item, 75, 10))) << name << " remade";
        EXPECT_FALSE(IsRed(PaintedAt(item, 75 - 55, 61))) << name << " remade";
    }
}

TEST_F(ListFixture, AListDestroyedWhileThumbnailsAreMadeWaitsOnlyForTheDecodesUnderWay)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < 40; ++i)
        paths.push_back(Picture(L"gone" + std::to_wstring(i) + L".jpg", 2000, 1500));
    std::vector<std::shared_ptr<ImageData>> records;
    list_->AddFiles(paths);
    for (const auto& item : list_->Items())
        records.push_back(item->Record());
    const ULONGLONG start = GetTickCount64();
    list_.reset();  // as a page that unloads: the window and the items go now
    const ULONGLONG took = GetTickCount64() - start;
    Pump();
    // Most records were never decoded: the waiting jobs were dropped, not run.
    int pending = 0;
    for (const auto& record : records)
        pending += record->thumbnailState() == ImageData::ThumbnailState::Pending;
    EXPECT_GT(pending, 20);
    EXPECT_LT(took, 5000u);
}

TEST_F(ListFixture, ASemiTransparentPictureIsBlendedOverTheCellsBackgroundOnce)
{
    // (255, 102, 102) at half cover over white is (255, 178, 178): not darker, not paler.
    const uint8_t cover = 128;
    const int expectedGreen = (102 * cover + 255 * (255 - cover) + 127) / 255;
    // Kept at its own size, and made smaller for the frame.
    for (const SIZE size : {SIZE{64, 48}, SIZE{480, 360}}) {
        SCOPED_TRACE(size.cx);
        list_->Clear();
        const std::wstring path = folder_.file(L"glass" + std::to_wstring(size.cx) + L".png");
        ASSERT_TRUE(testpics::WriteBytes(
            path, testpics::WritePng(size.cx, size.cy, testpics::PngKind::Rgba,
                                     [&](uint32_t, uint32_t) { return RGBQUAD{102, 102, 255, cover}; })));
        list_->AddFiles({path});
        ASSERT_TRUE(WaitForThumbnails());
        auto* item = dynamic_cast<Vantor::ListViewPostItem*>(list_->Items()[0].get());
        ASSERT_TRUE(item);
        ASSERT_EQ(ThumbSize(*item).cx, std::min<LONG>(size.cx, 120));
        const RECT cell{0, 0, 148, 150};
        Gdiplus::Bitmap canvas(cell.right, cell.bottom, PixelFormat24bppRGB);
        {
            Gdiplus::Graphics graphics(&canvas);
            graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
            item->Paint(graphics, cell);
        }
        const RECT thumb = item->ThumbRect(cell);
        for (const POINT at : {POINT{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2},
                               POINT{(thumb.left + thumb.right) / 2 - 20, (thumb.top + thumb.bottom) / 2 + 15}}) {
            Gdiplus::Color c;
            ASSERT_EQ(canvas.GetPixel(at.x, at.y, &c), Gdiplus::Ok);
            EXPECT_NEAR(c.GetR(), 255, 3) << at.x << "," << at.y;
            EXPECT_NEAR(c.GetG(), expectedGreen, 3) << at.x << "," << at.y;
            EXPECT_NEAR(c.GetB(), expectedGreen, 3) << at.x << "," << at.y;
        }
    }
}
