// Renaming an upload item: opened by a click on the caption strip of a selected item,
// committed by Enter, by the loss of focus and before any change of the list; Escape cancels.
#include "ListFixture.h"

#include <objidl.h>
#include <gdiplus.h>
#include <algorithm>

#include "Biz/ImageData.h"
#include "picker/ListViewItem.h"

using namespace listtest;
using Vantor::ListViewPostItem;

namespace {

HWND RenameBoxOf(HWND list)
{
    return FindWindowExW(list, nullptr, L"EDIT", nullptr);
}

}  // namespace

class RenameTest : public ListFixture {
protected:
    void SetUp() override
    {
        ListFixture::SetUp();
        AddPictures(4);
    }
    // Opens the rename box on the item and types the text into it.
    HWND Begin(int32_t id, const wchar_t* text)
    {
        ClickItem(id);
        Click(ButtonPoint(id, ListViewPostItem::Caption));
        const HWND box = RenameBoxOf(list_->hwnd());
        EXPECT_TRUE(box && IsWindowVisible(box));
        EXPECT_EQ(list_->RenamingId(), id);
        if (box && text)
            SetWindowTextW(box, text);
        return box;
    }
    std::wstring Remark(int32_t id) { return list_->FindById(id)->Record()->remark(); }
};

TEST_F(RenameTest, TheBoxOpensOverTheCaptionWithTheRemarkSelected)
{
    const HWND box = Begin(1, nullptr);
    ASSERT_TRUE(box);
    wchar_t text[300] = {};
    GetWindowTextW(box, text, 300);
    EXPECT_STREQ(text, L"p1.png");
    DWORD start = 0, end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 6u);
    EXPECT_EQ(GetFocus(), box);
    RECT onList{};
    GetWindowRect(box, &onList);
    MapWindowPoints(nullptr, list_->hwnd(), reinterpret_cast<POINT*>(&onList), 2);
    const RECT cell = list_->FindById(1)->GetRect();
    EXPECT_EQ(onList.left, cell.left);
    EXPECT_EQ(onList.bottom, cell.bottom);
    EXPECT_EQ(onList.top, cell.bottom - 30);
}

TEST_F(RenameTest, EnterCommitsEscapeCancelsAndAnEmptyTextKeepsTheRemark)
{
    HWND box = Begin(1, L"\u65B0\u540D\u5B57");
    SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Remark(1), L"\u65B0\u540D\u5B57");
    EXPECT_FALSE(IsWindowVisible(box));
    EXPECT_EQ(list_->RenamingId(), -1);

    box = Begin(2, L"ignored");
    SendMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(Remark(2), L"p2.png");
    EXPECT_FALSE(IsWindowVisible(box));

    box = Begin(3, L"");
    SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Remark(3), L"p3.png");
}

TEST_F(RenameTest, LosingFocusCommits)
{
    const HWND box = Begin(0, L"by focus");
    SetFocus(host_->get());
    Pump();
    EXPECT_EQ(Remark(0), L"by focus");
    EXPECT_FALSE(IsWindowVisible(box));
    EXPECT_EQ(list_->RenamingId(), -1);
}

TEST_F(RenameTest, TheBoxKeepsAtMost259Characters)
{
    const HWND box = Begin(0, nullptr);
    const std::wstring longText(400, L'x');
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(longText.c_str()));
    SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Remark(0), std::wstring(259, L'x'));
}

TEST_F(RenameTest, EveryChangeOfTheListCommitsFirstAndARemovedItemIsNeverTouched)
{
    Begin(1, L"before sort");
    list_->Sort(Vantor::SortMode::ByRemark);
    EXPECT_EQ(Remark(1), L"before sort");
    EXPECT_EQ(list_->RenamingId(), -1);

    Begin(2, L"before move");
    list_->MoveItem(0, 3);
    EXPECT_EQ(Remark(2), L"before move");

    // The record outlives the item here: the commit must have happened before the removal.
    Begin(3, L"before removal");
    const auto record = list_->FindById(3)->Record();
    list_->RemoveItem(3);
    EXPECT_EQ(record->remark(), L"before removal");
    EXPECT_EQ(list_->RenamingId(), -1);
    EXPECT_FALSE(IsWindowVisible(RenameBoxOf(list_->hwnd())));

    Begin(0, L"before delete key");
    const auto zero = list_->FindById(0)->Record();
    KeyUp(VK_DELETE);  // the item being renamed is selected
    EXPECT_EQ(zero->remark(), L"before delete key");
    EXPECT_EQ(list_->FindById(0), nullptr);

    Begin(1, L"before clear");
    const auto one = list_->FindById(1)->Record();
    list_->Clear();
    EXPECT_EQ(one->remark(), L"before clear");
    EXPECT_EQ(list_->RenamingId(), -1);
}

TEST_F(RenameTest, ACommitBeforeAnUploadKeepsTheTypedName)
{
    Begin(2, L"typed just before upload");
    list_->CommitRename();  // what the panel does before it starts
    SetUploading(true);
    EXPECT_EQ(Remark(2), L"typed just before upload");
    // While uploading, nothing opens the box.
    Click(ButtonPoint(1, ListViewPostItem::Caption));
    EXPECT_EQ(list_->RenamingId(), -1);
}

TEST_F(RenameTest, TheDeleteToolRemovesTheItemAfterItsOwnHandlerReturned)
{
    std::vector<int> removed;
    list_->ItemRemoved.connect([&](int id) { removed.push_back(id); });
    ClickItem(2);
    Click(ButtonPoint(2, ListViewPostItem::Del));
    // Still there while the click is handled: the removal was posted.
    EXPECT_NE(list_->FindById(2), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return list_->FindById(2) == nullptr; }, 5000));
    EXPECT_EQ(removed, (std::vector<int>{2}));
    // The tools do nothing on an item that is not selected, or when the list is not interactive.
    Click(ButtonPoint(1, ListViewPostItem::Del));  // the press selects; the release clicks
    Pump();
    EXPECT_EQ(list_->FindById(1), nullptr);
    list_->SetInteractive(false);
    ClickItem(0);
    Click(ButtonPoint(0, ListViewPostItem::Del));
    Pump();
    EXPECT_NE(list_->FindById(0), nullptr);
}

TEST_F(RenameTest, TheToolsTurnAndAskForEditAndPreview)
{
    std::vector<int32_t> edits, previews;
    list_->EditRequested.connect([&](int32_t id) { edits.push_back(id); });
    list_->PreviewRequested.connect([&](int32_t id) { previews.push_back(id); });
    ClickItem(1);
    Click(ButtonPoint(1, ListViewPostItem::RightCirc));
    EXPECT_EQ(list_->FindById(1)->Record()->quarterTurns(), 1);
    Click(ButtonPoint(1, ListViewPostItem::LeftCirc));
    Click(ButtonPoint(1, ListViewPostItem::LeftCirc));
    EXPECT_EQ(list_->FindById(1)->Record()->quarterTurns(), 3);
    Click(ButtonPoint(1, ListViewPostItem::Editor));
    Click(ButtonPoint(1, ListViewPostItem::Search));
    EXPECT_EQ(edits, (std::vector<int32_t>{1}));
    EXPECT_EQ(previews, (std::vector<int32_t>{1}));
}

TEST(ItemCaption, ALongNameEndsWithAnEllipsisWithinItsCell)
{
    Gdiplus::Bitmap canvas(300, 40, PixelFormat24bppRGB);
    Gdiplus::Graphics graphics(&canvas);
    const Gdiplus::FontFamily family(L"\u65B0\u5B8B\u4F53");
    const Gdiplus::Font font(&family, 12.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    const std::wstring name = L"PHONE_IMG_20240512_183045_HDR.jpg";
    const auto width = [&](const std::wstring& text) {
        Gdiplus::RectF box;
        graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), &font, Gdiplus::PointF(0, 0), &box);
        return box.Width;
    };
    const float cell = 120.0f;
    ASSERT_GT(width(name), cell) << "the name must be longer than the cell for this test";
    const std::wstring shown = Vantor::EllipsizedText(graphics, font, name, cell);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.back(), L'\u2026');
    EXPECT_EQ(name.compare(0, shown.size() - 1, shown, 0, shown.size() - 1), 0) << "it starts as the name does";
    EXPECT_EQ(Vantor::EllipsizedText(graphics, font, shown, cell), shown) << "what it gives fits as it is";
    EXPECT_GT(shown.size(), 6u) << "as much of the name as fits";
    // One more character of the name would not fit.
    const std::wstring longer = name.substr(0, shown.size()) + L"\u2026";
    EXPECT_NE(Vantor::EllipsizedText(graphics, font, longer, cell), longer);
    // A name that fits is left alone.
    EXPECT_EQ(Vantor::EllipsizedText(graphics, font, L"a.jpg", cell), L"a.jpg");
}

TEST_F(RenameTest, TheBoxShowsOnlyWhatIsTypedInTheNormalTextColour)
{
    // The caption painted under the box must not show through it, and the typed text is as
    // dark as any caption.
    UpdateWindow(list_->hwnd());
    const HWND box = Begin(1, L"x");
    ASSERT_TRUE(box);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Pump();
    RECT client{};
    GetClientRect(box, &client);
    const HDC dc = GetDC(box);
    ASSERT_TRUE(dc);
    int darkest = 255, marked = 0;
    for (int y = client.top + 2; y < client.bottom - 2; ++y)
        for (int x = client.left + 2; x < client.right - 2; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            const int level = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
            darkest = std::min(darkest, level);
            if (x >= 16 && c != Vantor::RenameBox::BackColour())
                ++marked;  // right of the typed "x": the old caption showing
        }
    ReleaseDC(box, dc);
    EXPECT_EQ(marked, 0);
    const COLORREF text = Vantor::RenameBox::TextColour();
    EXPECT_LE(darkest, GetGValue(text) + 20) << "the typed text is drawn pale";
}

TEST_F(RenameTest, ACaptionThatAClickWouldRenameSaysSoAndNoOtherDoes)
{
    const wchar_t* const tip = L"\u5355\u51FB\u91CD\u547D\u540D";
    const auto move = [this](POINT at) {
        SendMessageW(list_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        return list_->TipText();
    };
    // Not selected: a click on the caption selects, it does not rename.
    EXPECT_FALSE(list_->RenamesAt(ButtonPoint(2, ListViewPostItem::Caption)));
    EXPECT_EQ(move(ButtonPoint(2, ListViewPostItem::Caption)), L"");
    ClickItem(2);
    EXPECT_TRUE(list_->RenamesAt(ButtonPoint(2, ListViewPostItem::Caption)));
    EXPECT_EQ(move(ButtonPoint(2, ListViewPostItem::Caption)), tip);
    EXPECT_FALSE(list_->RenamesAt(ItemPoint(2)));
    EXPECT_EQ(move(ItemPoint(2)), L"");
    EXPECT_EQ(move(ButtonPoint(2, ListViewPostItem::Caption)), tip);
    // While an upload runs nothing is renamed.
    SetUploading(true);
    EXPECT_FALSE(list_->RenamesAt(ButtonPoint(2, ListViewPostItem::Caption)));
    EXPECT_EQ(move(ButtonPoint(2, ListViewPostItem::Caption)), L"");
    SetUploading(false);
}
