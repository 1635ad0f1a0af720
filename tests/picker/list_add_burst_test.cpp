// Files added one call after another (the page's "addFile"): each item is there, in its place and
// in call order at once; what follows an addition happens once, after the burst; nothing is lost,
// reordered or taken twice, whatever else happens to the list meanwhile.
#include "ListFixture.h"

#include "Biz/ImageData.h"

using namespace listtest;
using Vantor::AddLimits;

namespace {

std::vector<std::wstring> Paths(const Vantor::ListView& list)
{
    std::vector<std::wstring> paths;
    for (const auto& item : list.Items())
        paths.push_back(item->Record()->path());
    return paths;
}

}  // namespace

TEST_F(ListFixture, ABurstOfSingleAdditionsKeepsEveryFileInOrderAndLaysOutOnce)
{
    int dropped = 0;
    list_->FilesDropped.connect([&] { ++dropped; });
    struct Call {
        std::wstring path;
        bool taken;
    };
    const std::wstring text = Picture(L"notes.txt", 4, 4);
    std::vector<Call> calls;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 120; ++i) {
        // Names that sort otherwise than they are added.
        const std::wstring path = Picture(L"b" + std::to_wstring((i * 37) % 120) + L".png", 24, 18);
        calls.push_back({path, true});
        expected.push_back(path);
        if (i % 10 == 3)
            calls.push_back({path, false});  // the same file again, at once
        if (i % 10 == 6)
            calls.push_back({folder_.file(L"missing" + std::to_wstring(i) + L".png"), false});
        if (i % 17 == 0 && i > 0) {
            std::wstring upper = expected[i / 2];  // a file of earlier in the burst, spelt in capitals
            for (wchar_t& c : upper)
                c = static_cast<wchar_t>(towupper(c));
            calls.push_back({upper, false});
        }
        if (i % 25 == 0)
            calls.push_back({text, false});
    }

    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(list_->AddFilesSoon({calls[i].path}, AddLimits{}).added, calls[i].taken ? 1 : 0) << i;
        // Each item is in the list and in its cell at once.
        const int last = list_->Count() - 1;
        const RECT cell = list_->Items()[last]->GetRect();
        const RECT expectedCell = list_->Geometry().Cell(last, list_->Columns());
        ASSERT_TRUE(EqualRect(&cell, &expectedCell)) << "item " << last;
    }
    EXPECT_EQ(Paths(*list_), expected) << "every file once, in the order of the calls";
    EXPECT_EQ(dropped, 0) << "nothing shown while the burst runs";

    EXPECT_TRUE(PumpUntil([&] { return dropped > 0; }, 10000));
    Pump();
    EXPECT_EQ(dropped, 1) << "the burst shown once";
    EXPECT_TRUE(WaitForThumbnails());
    for (const auto& item : list_->Items())
        EXPECT_EQ(item->Record()->thumbnailState(), Vantor::ImageData::ThumbnailState::Ready) << item->Id();
    EXPECT_GT(list_->MaxScroll(), 0) << "the scroll range follows the items";

    // Adds refused because the file is there already show nothing and take nothing.
    for (const std::wstring& path : expected)
        EXPECT_EQ(list_->AddFilesSoon({path}, AddLimits{}).added, 0);
    Pump();
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(Paths(*list_), expected);
}

TEST_F(ListFixture, SingleAdditionsMixWithRemovalsSortsAndImmediateAdditions)
{
    int dropped = 0;
    list_->FilesDropped.connect([&] { ++dropped; });
    std::vector<std::wstring> paths;
    for (int i = 0; i < 8; ++i)
        paths.push_back(Picture(L"m" + std::to_wstring(i) + L".png", 20, 20));

    list_->AddFilesSoon({paths[0]}, AddLimits{});
    list_->AddFilesSoon({paths[1]}, AddLimits{});
    // An immediate addition in the middle of the burst shows everything so far.
    EXPECT_EQ(list_->AddFiles({paths[2]}).added, 1);
    EXPECT_EQ(dropped, 1);
    list_->AddFilesSoon({paths[3]}, AddLimits{});
    // A removal in the burst: its file may come again, and the others stay refused.
    const int32_t second = list_->Items()[1]->Id();
    list_->RemoveItem(second);
    EXPECT_FALSE(list_->ContainsPath(paths[1]));
    EXPECT_TRUE(list_->ContainsPath(paths[0]));
    EXPECT_EQ(list_->AddFilesSoon({paths[1]}, AddLimits{}).added, 1);
    EXPECT_EQ(list_->AddFilesSoon({paths[0]}, AddLimits{}).added, 0);
    // An item that takes another file: its old file may be added, its new one is there.
    list_->Items()[0]->ReloadImage(paths[4]);
    EXPECT_TRUE(list_->ContainsPath(paths[4]));
    EXPECT_EQ(list_->AddFilesSoon({paths[4]}, AddLimits{}).added, 0);
    EXPECT_EQ(list_->AddFilesSoon({paths[0]}, AddLimits{}).added, 1);
    // Selected and removed together, then added again.
    list_->SelectAll(true);
    list_->RemoveSelected();
    EXPECT_EQ(list_->Count(), 0);
    for (int i : {5, 6, 3})
        EXPECT_EQ(list_->AddFilesSoon({paths[i]}, AddLimits{}).added, 1);
    EXPECT_EQ(Paths(*list_), (std::vector<std::wstring>{paths[5], paths[6], paths[3]}));
    EXPECT_TRUE(PumpUntil([&] { return dropped == 2; }, 10000));
    Pump();
    EXPECT_EQ(dropped, 2);
    EXPECT_TRUE(WaitForThumbnails());

    // The files limit holds within a burst as it does in one call.
    list_->Clear();
    int leftOut = 0;
    list_->AddLimitReached.connect([&](int n) { leftOut += n; });
    AddLimits three;
    three.filesLimit = 3;
    int added = 0;
    for (const std::wstring& path : paths)
        added += list_->AddFilesSoon({path}, three).added;
    EXPECT_EQ(added, 3);
    EXPECT_EQ(leftOut, 5);
    EXPECT_EQ(list_->Count(), 3);
}

TEST_F(ListFixture, SingleAdditionsWaitingWhenTheWindowGoesShowInTheNextWindow)
{
    int dropped = 0;
    list_->FilesDropped.connect([&] { ++dropped; });
    const std::wstring a = Picture(L"w0.png", 20, 20), b = Picture(L"w1.png", 20, 20);
    list_->AddFilesSoon({a}, AddLimits{});
    list_->AddFilesSoon({b}, AddLimits{});
    DestroyWindow(list_->hwnd());  // its queued message goes with it
    ASSERT_FALSE(list_->hwnd());
    ASSERT_TRUE(list_->Create(host_->get(), 0, 0, kWidth, kHeight));
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(Paths(*list_), (std::vector<std::wstring>{a, b}));
    EXPECT_TRUE(WaitForThumbnails());
    // And the list goes on taking bursts.
    const std::wstring c = Picture(L"w2.png", 20, 20);
    EXPECT_EQ(list_->AddFilesSoon({c}, AddLimits{}).added, 1);
    EXPECT_TRUE(PumpUntil([&] { return dropped == 2; }, 10000));
}
