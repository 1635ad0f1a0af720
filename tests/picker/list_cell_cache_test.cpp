// A list that keeps its painted cells shows, pixel for pixel, what a list drawing every cell
// anew shows, after each kind of change an item can go through; and a repaint copies every
// cell whose item did not change instead of drawing it.
#include "ListFixture.h"

#include "Biz/ImageData.h"
#include "picker/ListViewSelectItem.h"
#include "platform/Handles.h"
#include "ui/Drawing.h"

using namespace listtest;
using namespace Vantor;

namespace {

using Pixels = std::vector<uint32_t>;

// The client area as the window shows it (alpha dropped), after what is pending is painted.
Pixels Shown(HWND hwnd)
{
    UpdateWindow(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    const int width = client.right, height = client.bottom;
    void* bits = nullptr;
    const GdiObject<HBITMAP> dib(CreateTopDownDib(width, height, &bits));
    const UniqueMemoryDC memory(CreateCompatibleDC(nullptr));
    if (!dib || !memory || !bits)
        return {};
    {
        const HDC window = GetDC(hwnd);
        const SelectObjectScope selected(memory.get(), dib.get());
        BitBlt(memory.get(), 0, 0, width, height, window, 0, 0, SRCCOPY);
        GdiFlush();
        ReleaseDC(hwnd, window);
    }
    Pixels pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + width * height);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

Pixels WholeRepaint(ListView& list)
{
    InvalidateRect(list.hwnd(), nullptr, FALSE);
    return Shown(list.hwnd());
}

int Differing(const Pixels& a, const Pixels& b)
{
    if (a.size() != b.size() || a.empty())
        return -1;
    int n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

// What the list shows after a change, three ways: as the change's own repaint left it, after a
// whole repaint from kept cells, and after a whole repaint that draws every cell anew. The cells
// are kept again afterwards, drawn with the new looks.
struct Views {
    Pixels asChanged, kept, fresh;
};

Views Capture(ListView& list)
{
    Views views;
    views.asChanged = Shown(list.hwnd());
    views.kept = WholeRepaint(list);
    list.SetCellCache(false);
    views.fresh = WholeRepaint(list);
    list.SetCellCache(true);
    WholeRepaint(list);
    return views;
}

// Runs the steps in order on the list; after each one the three views must agree, and the step
// must have changed what the list shows (or it would prove nothing).
struct Step {
    const char* name;
    std::function<void()> change;
    bool repaintsItself = true;  // whether the change invalidates what it changes
};

void CheckSteps(ListView& list, const std::vector<Step>& steps)
{
    Pixels before = WholeRepaint(list);
    ASSERT_FALSE(before.empty());
    for (const Step& step : steps) {
        step.change();
        Pump();
        const Views views = Capture(list);
        EXPECT_EQ(Differing(views.kept, views.fresh), 0) << step.name << ": kept cells against fresh drawing";
        if (step.repaintsItself)
            EXPECT_EQ(Differing(views.asChanged, views.fresh), 0) << step.name << ": the change's own repaint";
        EXPECT_GT(Differing(views.fresh, before), 0) << step.name << " shows something new";
        before = views.fresh;
    }
}

POINT CentreOf(const ListView& list, int32_t id)
{
    const RECT r = list.FindById(id)->GetRect();
    return POINT{(r.left + r.right) / 2, r.top + 40 - list.ScrollPos()};
}

void MoveTo(ListView& list, POINT client) { SendMessageW(list.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y)); }

}  // namespace

TEST_F(ListFixture, KeptCellsShowWhatFreshDrawingShowsAfterEveryChange)
{
    SetCursorPos(0, 0);  // the real pointer away from the window: only the test hovers
    std::vector<int32_t> ids;
    for (int i = 0; i < 14; ++i) {
        // Pictures of different shapes, so that a turn changes the thumbnail's outline.
        const std::wstring path = Picture(L"c" + std::to_wstring(i) + L".png", 64 + 8 * (i % 3), 40 + 6 * (i % 4));
        list_->AddFiles({path});
    }
    ASSERT_TRUE(WaitForThumbnails());
    for (const auto& item : list_->Items())
        ids.push_back(item->Id());
    ASSERT_EQ(ids.size(), 14u);
    ASSERT_GT(list_->MaxScroll(), 0);
    const auto record = [&](int i) { return list_->FindById(ids[i])->Record(); };

    CheckSteps(*list_, {
        {"hover", [&] { MoveTo(*list_, CentreOf(*list_, ids[1])); }},
        {"selection", [&] { ClickItem(ids[2]); }},
        {"selection with Ctrl", [&] { ClickItem(ids[0], MK_CONTROL); }},
        {"keyboard focus",
         [&] {
             SetForegroundWindow(host_->get());
             SetFocus(list_->hwnd());
             ASSERT_EQ(GetFocus(), list_->hwnd());
             list_->SetFocusItem(ids[4]);
         }},
        {"caption changed in the record", [&] { record(3)->setRemark(L"\u53E6\u4E00\u4E2A\u540D\u5B57 renamed"); },
         false},
        {"thumbnail turned and remade",
         [&] {
             list_->FindById(ids[5])->RotateImageRight();
             ASSERT_TRUE(WaitForThumbnails());
         }},
        {"upload starts",
         [&] {
             for (int i = 0; i < 3; ++i)
                 record(i)->resetUploadState();
             record(0)->UploadSize = 1000;
             record(0)->SentBytes = 300;
             record(0)->setUploadPhase(UploadPhase::Sending);
             UploadFailure failure;
             failure.reason = FailureReason::HttpStatus;
             failure.status = 503;
             record(2)->setUploadFailure(failure);
             record(2)->setUploadPhase(UploadPhase::Failed);
             SetUploading(true);
         }},
        {"progress",
         [&] {
             record(0)->SentBytes = 900;
             list_->RepaintProgress(ids[0]);
         }},
        {"upload ends, a failure hovered",
         [&] {
             record(0)->setUploadPhase(UploadPhase::Done);
             SetUploading(false);
             MoveTo(*list_, CentreOf(*list_, ids[2]));
         }},
        {"not interactive", [&] { list_->SetInteractive(false); }},
        {"scrolled", [&] { list_->ScrollTo(list_->MaxScroll()); }},
        {"scrolled back", [&] {
             list_->SetInteractive(true);
             list_->ScrollTo(0);
         }},
        {"an item removed", [&] { list_->RemoveItem(ids[1]); }},
        {"cells of another size",
         [&] {
             list_->SetItemWidth(124);
             list_->SetItemHeight(150);
             list_->Arrange();
         },
         false},
    });
}

TEST_F(ListFixture, KeptPickerCellsShowWhatFreshDrawingShowsAfterEveryChange)
{
    SetCursorPos(0, 0);
    ShowWindow(list_->hwnd(), SW_HIDE);
    ListView picker{[](std::shared_ptr<ImageData> record) -> std::unique_ptr<ListViewItem> {
        return std::make_unique<ListViewSelectItem>(std::move(record));
    }};
    ASSERT_TRUE(picker.Create(host_->get(), 0, 0, kWidth, kHeight));
    picker.SetArrowsSelect(false);
    bool loaded = false;
    picker.ThumbnailsLoaded.connect([&] { loaded = true; });
    std::vector<std::wstring> paths;
    for (int i = 0; i < 6; ++i)
        paths.push_back(Picture(L"k" + std::to_wstring(i) + L".jpg", 90 - 10 * i, 50 + 5 * i));
    picker.AddFiles(paths);
    ASSERT_TRUE(PumpUntil([&] { return loaded; }));
    const auto id = [&](int i) { return picker.Items()[i]->Id(); };

    CheckSteps(picker, {
        {"hover", [&] { MoveTo(picker, CentreOf(picker, id(1))); }},
        {"checked by a click",
         [&] {
             const LPARAM at = MAKELPARAM(CentreOf(picker, id(3)).x, CentreOf(picker, id(3)).y);
             SendMessageW(picker.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
             SendMessageW(picker.hwnd(), WM_LBUTTONUP, 0, at);
         }},
        {"all checked", [&] { picker.SelectAll(true); }},
        {"none checked", [&] { picker.SetAllChecked(0); }},
    });
}

TEST_F(ListFixture, ARepaintCopiesTheCellsOfItemsThatDidNotChange)
{
    SetCursorPos(0, 0);
    const std::vector<int32_t> ids = AddPictures(20);
    ASSERT_EQ(ids.size(), 20u);
    WholeRepaint(*list_);
    const CellCache& cells = list_->Cells();
    const uint64_t drawn = cells.Draws();
    const Pixels first = WholeRepaint(*list_);
    EXPECT_EQ(cells.Draws(), drawn) << "nothing changed: every cell copied";

    MoveTo(*list_, CentreOf(*list_, ids[0]));
    Shown(list_->hwnd());
    MoveTo(*list_, CentreOf(*list_, ids[1]));
    Shown(list_->hwnd());
    EXPECT_EQ(cells.Draws(), drawn + 3) << "the hovered cell, then it and the next one again";
    WholeRepaint(*list_);
    EXPECT_EQ(cells.Draws(), drawn + 3);

    // Back and forth over the whole list: the cache stays within its bound, and the first
    // screen comes back from kept cells once the list is short enough to keep them all.
    for (int pass = 0; pass < 2; ++pass) {
        list_->ScrollTo(list_->MaxScroll());
        Shown(list_->hwnd());
        list_->ScrollTo(0);
        Shown(list_->hwnd());
        EXPECT_LE(cells.Size(), cells.Capacity());
    }
    if (cells.Capacity() >= ids.size()) {
        const uint64_t before = cells.Draws();
        list_->ScrollTo(list_->MaxScroll());
        Shown(list_->hwnd());
        list_->ScrollTo(0);
        Shown(list_->hwnd());
        EXPECT_EQ(cells.Draws(), before) << "every cell kept";
    }

    list_->RemoveItem(ids[0]);
    list_->SelectAll(true);
    list_->RemoveSelected();
    EXPECT_EQ(cells.Size(), 0u) << "removed items keep no cells";
}
