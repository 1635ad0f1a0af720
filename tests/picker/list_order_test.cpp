// Order: sorting by name, by the file's creation time and by the date the photo was taken,
// stable with the id as tie-break; moving one item before another; layout and scrolling.
#include "ListFixture.h"

#include "Biz/ImageData.h"

using namespace listtest;
using Ids = std::vector<int32_t>;
using Vantor::SortMode;

namespace {

FILETIME FromUnix(int64_t seconds)
{
    const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

void SetTimes(const std::wstring& path, int64_t created, int64_t written)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const FILETIME c = FromUnix(created), w = FromUnix(written);
    EXPECT_TRUE(SetFileTime(file, &c, nullptr, &w));
    CloseHandle(file);
}

// Puts an EXIF block with DateTimeOriginal right after the JPEG's start marker.
void AddExifDate(const std::wstring& path, const char* date)
{
    std::vector<uint8_t> bytes = testpics::ReadBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    std::vector<uint8_t> tiff{'I', 'I', 42, 0, 8, 0, 0, 0,
                              1, 0,                                       // IFD0: one entry
                              0x69, 0x87, 4, 0, 1, 0, 0, 0, 26, 0, 0, 0,  // EXIF IFD at 26
                              0, 0, 0, 0,
                              1, 0,                                       // EXIF IFD: one entry
                              0x03, 0x90, 2, 0, 20, 0, 0, 0, 44, 0, 0, 0,  // the date at 44
                              0, 0, 0, 0};
    for (int i = 0; i < 19; ++i)
        tiff.push_back(static_cast<uint8_t>(date[i]));
    tiff.push_back(0);
    const size_t length = 2 + 6 + tiff.size();
    std::vector<uint8_t> segment{0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF),
                                 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
    ASSERT_TRUE(testpics::WriteBytes(path, bytes));
}

}  // namespace

TEST_F(ListFixture, SortingByNameIsStableWithTheIdAsTieBreakAndModeZeroRestoresTheOrderOfAddition)
{
    AddPictures(5);  // p0 .. p4, ids 0 .. 4
    list_->Items()[0]->Record()->setRemark(L"b");
    list_->Items()[1]->Record()->setRemark(L"a");
    list_->Items()[2]->Record()->setRemark(L"b");
    list_->Items()[3]->Record()->setRemark(L"B");  // the same name as "b" when case is ignored
    list_->Items()[4]->Record()->setRemark(L"a");
    list_->Sort(SortMode::ByRemark);
    EXPECT_EQ(Order(), (Ids{1, 4, 0, 2, 3}));
    list_->Sort(SortMode::ByRemark);  // again: nothing moves
    EXPECT_EQ(Order(), (Ids{1, 4, 0, 2, 3}));
    list_->Sort(7);  // any other mode: the order of addition
    EXPECT_EQ(Order(), (Ids{0, 1, 2, 3, 4}));
    list_->Sort(SortMode::ById);
    EXPECT_EQ(Order(), (Ids{0, 1, 2, 3, 4}));
}

TEST_F(ListFixture, SortingByNameIgnoresCaseAndTakesNumbersInNamesByTheirValue)
{
    const std::vector<std::wstring> names{L"img_10", L"IMG_2", L"Zebra", L"apple", L"IMG_1", L"img_9", L"Banana"};
    AddPictures(static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size(); ++i)
        list_->Items()[i]->Record()->setRemark(names[i]);
    list_->Sort(SortMode::ByRemark);
    std::vector<std::wstring> sorted;
    for (const auto& item : list_->Items())
        sorted.push_back(item->Record()->remark());
    EXPECT_EQ(sorted, (std::vector<std::wstring>{L"apple", L"Banana", L"IMG_1", L"IMG_2", L"img_9", L"img_10",
                                                 L"Zebra"}));
}

TEST_F(ListFixture, OnlyAMoveThatHappenedTellsThatTheOrderIsTheUsersOwn)
{
    AddPictures(3);
    int told = 0;
    list_->OrderChangedByHand.connect([&told] { ++told; });
    list_->MoveItem(1, 1);  // onto itself
    list_->MoveItem(7, 1);  // an id that is not there
    list_->Sort(SortMode::ByRemark);
    EXPECT_EQ(told, 0);
    list_->MoveItem(2, 0);
    EXPECT_EQ(told, 1);
}

TEST_F(ListFixture, TheTimeSortsUseTheFilesCreationTimeAndTheDateTaken)
{
    const std::wstring a = Picture(L"a.jpg", 32, 24);
    const std::wstring b = Picture(L"b.jpg", 32, 24);
    const std::wstring c = Picture(L"c.png", 32, 24);
    const std::wstring d = Picture(L"d.jpg", 32, 24);
    AddExifDate(a, "2020:06:01 10:00:00");  // 1590991200
    AddExifDate(b, "2019:01:01 00:00:00");  // 1546300800
    // c (a PNG) and d (no EXIF) fall back to their last-write times. Wine keeps no creation
    // time of its own (it reports the last write), so both times are set alike.
    SetTimes(a, 1700000000, 1700000000);
    SetTimes(b, 1500000000, 1500000000);
    SetTimes(c, 1600000000, 1600000000);
    SetTimes(d, 1500000000, 1500000000);
    list_->AddFiles({a, b, c, d});  // ids 0 .. 3
    ASSERT_TRUE(WaitForThumbnails());

    list_->Sort(SortMode::ByCreated);
    EXPECT_EQ(Order(), (Ids{1, 3, 2, 0}));  // b and d share a time: the id decides
    list_->Sort(SortMode::ByDateTaken);
    // d 2017 (its file), b 2019-01 (EXIF), a 2020-06 (EXIF, although its file is the newest),
    // c 2020-09 (its file)
    EXPECT_EQ(Order(), (Ids{3, 1, 0, 2}));
}

TEST_F(ListFixture, TheDateTakenIsReadWhenASortNeedsItBeforeTheLoaderDid)
{
    const std::wstring a = Picture(L"a.jpg", 32, 24);
    const std::wstring b = Picture(L"b.jpg", 32, 24);
    AddExifDate(a, "2022:01:01 00:00:00");
    AddExifDate(b, "2021:01:01 00:00:00");
    list_->AddFiles({a, b});
    list_->StopThumbnailLoading();
    list_->Sort(SortMode::ByDateTaken);
    EXPECT_EQ(Order(), (Ids{1, 0}));
}

TEST_F(ListFixture, MovingAnItemPutsItDirectlyBeforeTheTarget)
{
    AddPictures(3);
    list_->MoveItem(0, 0);
    EXPECT_EQ(Order(), (Ids{0, 1, 2}));
    list_->MoveItem(0, 2);
    EXPECT_EQ(Order(), (Ids{1, 0, 2}));
    list_->MoveItem(2, 1);
    EXPECT_EQ(Order(), (Ids{2, 1, 0}));
    list_->MoveItem(5, 1);  // an id that is not there
    list_->MoveItem(1, 9);
    EXPECT_EQ(Order(), (Ids{2, 1, 0}));
    // Cells follow the order.
    EXPECT_EQ(list_->Items()[0]->GetRect().left, 4);
    EXPECT_EQ(list_->FindById(2)->GetRect().left, 4);
    list_->Clear();
    AddPictures(1);
    list_->MoveItem(3, 3);
    EXPECT_EQ(list_->Count(), 1);
}

TEST_F(ListFixture, TheWheelAndTheBarScrollWithinTheContent)
{
    AddPictures(20);  // 3 columns of 150: 7 rows of 183 pixels
    const int content = 7 * 183 + 8;
    ASSERT_EQ(list_->Columns(), 3);
    EXPECT_EQ(list_->MaxScroll(), content - list_->ClientHeight());
    SCROLLINFO info{sizeof(info), SIF_ALL};
    ASSERT_TRUE(GetScrollInfo(list_->hwnd(), SB_VERT, &info));
    EXPECT_EQ(info.nMax + 1, content);
    EXPECT_EQ(static_cast<int>(info.nPage), list_->ClientHeight());

    const auto wheel = [&](int delta) {
        SendMessageW(list_->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
    };
    UINT lines = 0;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
    const int notch = static_cast<int>(std::min<UINT>(lines, list_->ClientHeight() / 183)) * 183;
    wheel(120);  // already at the top
    EXPECT_EQ(list_->ScrollPos(), 0);
    for (int i = 0; i < 20; ++i)
        wheel(-120);
    EXPECT_EQ(list_->ScrollPos(), list_->MaxScroll());
    EXPECT_EQ(GetScrollPos(list_->hwnd(), SB_VERT), list_->MaxScroll());
    wheel(120);
    EXPECT_EQ(list_->ScrollPos(), list_->MaxScroll() - notch);

    const auto bar = [&](int request) { SendMessageW(list_->hwnd(), WM_VSCROLL, MAKEWPARAM(request, 0), 0); };
    bar(SB_TOP);
    EXPECT_EQ(list_->ScrollPos(), 0);
    bar(SB_LINEUP);
    EXPECT_EQ(list_->ScrollPos(), 0);
    bar(SB_LINEDOWN);  // a row
    EXPECT_EQ(list_->ScrollPos(), 183);
    bar(SB_PAGEDOWN);
    EXPECT_EQ(list_->ScrollPos(), 183 + list_->ClientHeight());
    bar(SB_PAGEUP);
    EXPECT_EQ(list_->ScrollPos(), 183);
    bar(SB_BOTTOM);
    EXPECT_EQ(list_->ScrollPos(), list_->MaxScroll());
    bar(SB_PAGEDOWN);
    EXPECT_EQ(list_->ScrollPos(), list_->MaxScroll());

    // Hit-testing counts the scroll position: a click selects the item under the pointer.
    const auto* last = list_->Items().back().get();
    const RECT r = last->GetRect();
    Click(POINT{(r.left + r.right) / 2, r.top + 30 - list_->ScrollPos()});
    EXPECT_EQ(Selected(), (Ids{last->Id()}));

    // Removing items keeps the position where the content allows it; everything fitting
    // disables the bar.
    const int kept = list_->ScrollPos();
    list_->RemoveItem(0);
    EXPECT_EQ(list_->ScrollPos(), std::min(kept, list_->MaxScroll()));
    while (list_->Count() > 3)
        list_->RemoveItem(list_->Items().back()->Id());
    EXPECT_EQ(list_->MaxScroll(), 0);
    EXPECT_EQ(list_->ScrollPos(), 0);
}

TEST_F(ListFixture, AnEmptyListIgnoresTheMouseAndHasNoScrollRange)
{
    SendMessageW(list_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
    EXPECT_EQ(list_->HoverId(), -1);
    Click(POINT{50, 50});
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(list_->MaxScroll(), 0);
    SendMessageW(list_->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(list_->ScrollPos(), 0);
    RedrawWindow(list_->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}
