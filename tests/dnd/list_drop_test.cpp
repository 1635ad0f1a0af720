// The upload list as drop target and drag source on a real list window: shell drops made by
// hand and sent through the target the system keeps for the window, and item drags run
// through the system's drag loop onto the item under the cursor.
#include "DropData.h"
#include "ListFixture.h"

#include "Biz/ImageData.h"
#include "picker/ItemDragData.h"
#include "platform/CIDropTargetImpl.h"
#include "platform/ClipFormats.h"

#include <ole2.h>

#include <algorithm>
#include <cstring>
#include <optional>

using namespace Vantor;

namespace {

constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// Keeps the bytes of whatever is dropped on a window of its own.
class SpyTarget : public CIDropTargetImpl {
public:
    std::optional<ItemDragTag> tag;

protected:
    DWORD OnDropCustom(IDataObject* data, DWORD, POINTL, DWORD effect) override
    {
        FORMATETC format = ClipFormats::Instance().Lookup(kItemDragFormat);
        STGMEDIUM medium{};
        if (data->GetData(&format, &medium) == S_OK) {
            if (GlobalSize(medium.hGlobal) == sizeof(ItemDragTag)) {
                ItemDragTag read{};
                std::memcpy(&read, GlobalLock(medium.hGlobal), sizeof(read));
                GlobalUnlock(medium.hGlobal);
                tag = read;
            }
            ReleaseStgMedium(&medium);
        }
        return effect;
    }
};

class ListDropTest : public listtest::ListFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ListFixture::SetUp();
        target_ = static_cast<IDropTarget*>(GetPropW(list_->hwnd(), L"OleDropTargetInterface"));
        ASSERT_NE(target_, nullptr) << "the list registers as drop target";
    }
    void TearDown() override
    {
        ListFixture::TearDown();
        OleUninitialize();
    }

    // DragEnter, DragOver and Drop as the system sends them at a client point of the list;
    // the effects shown and the one reported.
    struct Effects {
        DWORD entered, over, dropped;
        HRESULT result;
    };
    Effects Drop(IDataObject* data, POINT client = {10, 10}, DWORD keys = 0, DWORD allowed = kAll)
    {
        POINT screen = client;
        ClientToScreen(list_->hwnd(), &screen);
        const POINTL at{screen.x, screen.y};
        Effects e{allowed, allowed, allowed, S_OK};
        EXPECT_EQ(target_->DragEnter(data, keys | MK_LBUTTON, at, &e.entered), S_OK);
        EXPECT_EQ(target_->DragOver(keys | MK_LBUTTON, at, &e.over), S_OK);
        e.result = target_->Drop(data, keys, at, &e.dropped);
        return e;
    }
    Effects DropFiles(const std::vector<std::wstring>& paths, DWORD keys = 0)
    {
        const auto data = MakeComObject<DropTest::DropData>();
        data->PutFiles(paths);
        return Drop(data.Get(), POINT{10, 10}, keys);
    }
    std::vector<std::wstring> Paths() const
    {
        std::vector<std::wstring> paths;
        for (const auto& item : list_->Items())
            paths.push_back(item->Record()->path());
        return paths;
    }
    // A press on the item, the cursor put over the target, and a move with the button held:
    // the list runs its drag, which drops at once (the real button is up) under the cursor.
    HRESULT DragItem(int32_t dragged, POINT screenTarget)
    {
        const POINT from = ItemPoint(dragged);
        EXPECT_TRUE(SetCursorPos(screenTarget.x, screenTarget.y));
        SendMessageW(list_->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        SendMessageW(list_->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(from.x + 6, from.y + 6));
        listtest::Pump();
        return S_OK;
    }
    POINT ScreenPointOf(int32_t id) const
    {
        POINT p = ItemPoint(id);
        ClientToScreen(list_->hwnd(), &p);
        return p;
    }
    ComPtr<DropTest::DropData> ItemData(const ItemDragTag& tag)
    {
        const auto data = MakeComObject<DropTest::DropData>();
        const char* bytes = reinterpret_cast<const char*>(&tag);
        data->Put(ClipFormats::Instance().Lookup(kItemDragFormat).cfFormat,
                  std::vector<char>(bytes, bytes + sizeof(tag)));
        return data;
    }

    IDropTarget* target_ = nullptr;
    DropTest::TempFolder drops_;
};

}  // namespace

TEST_F(ListDropTest, ShellFilesGoThroughTheAcceptRuleWholeAndOnce)
{
    const std::wstring jpg = Picture(L"a.JPG");
    const std::wstring jpeg = Picture(L"b.psd");
    const std::wstring tif = Picture(L"c.tif");
    const std::wstring chinese = Picture(L"春节 合影.png");
    const std::wstring xjpg = drops_.MakeFile(L"d.xjpg");
    const std::wstring folderNamedJpg = drops_.MakeFolder(L"folder.jpg");
    std::wstring deep;
    while (deep.size() < 300)
        deep += L"很长的文件夹名称-folder\\";
    const std::wstring longPath = drops_.MakeFile(deep + L"e.bmp");
    ASSERT_GT(longPath.size(), 300u);

    Effects e = DropFiles({folderNamedJpg, L"C:\\", jpg, jpeg, xjpg, tif, jpg, chinese, longPath, L"Z:\\"});
    EXPECT_EQ(e.result, S_OK);
    EXPECT_EQ(e.entered, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(e.over, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(e.dropped, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{jpg, tif, chinese, longPath}));

    // Only duplicates and refusals: nothing added, and the drop says so (a shell source that
    // hears "move" or "copy" might act on the user's files).
    e = DropFiles({jpg, chinese, jpeg, xjpg}, MK_SHIFT);
    EXPECT_EQ(e.entered, static_cast<DWORD>(DROPEFFECT_COPY)) << "Shift does not make files a move";
    EXPECT_EQ(e.dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(list_->Count(), 4);
}

TEST_F(ListDropTest, TheFilesLimitIsTestedBeforeEachAddition)
{
    AddPictures(1, false);
    list_->SetAddLimits(AddLimits{3, 0});
    int limitSignals = 0;
    list_->AddLimitReached.connect([&](int) { ++limitSignals; });
    std::vector<std::wstring> paths;
    for (int i = 0; i < 10; ++i)
        paths.push_back(drops_.MakeFile(L"f" + std::to_wstring(i) + L".gif"));

    EXPECT_EQ(DropFiles(paths).dropped, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(list_->Count(), 3);
    EXPECT_EQ(Paths()[1], paths[0]);
    EXPECT_EQ(Paths()[2], paths[1]);
    EXPECT_EQ(limitSignals, 1) << "the user is told once";

    // A full list takes nothing more, and the drop reports no effect.
    EXPECT_EQ(DropFiles({drops_.MakeFile(L"late.png")}).dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(list_->Count(), 3);
}

TEST_F(ListDropTest, DraggingAnItemOntoAnotherMovesItBeforeIt)
{
    const std::vector<int32_t> ids = AddPictures(3);
    ASSERT_EQ(ids.size(), 3u);
    SetForegroundWindow(host_->get());

    // The first onto the third: second, first, third.
    DragItem(ids[0], ScreenPointOf(ids[2]));
    EXPECT_EQ(Order(), (std::vector<int32_t>{ids[1], ids[0], ids[2]}));
    // Onto itself, and onto empty space: nothing changes.
    DragItem(ids[2], ScreenPointOf(ids[2]));
    POINT empty{kWidth - 40, kHeight - 40};
    ClientToScreen(list_->hwnd(), &empty);
    DragItem(ids[2], empty);
    EXPECT_EQ(Order(), (std::vector<int32_t>{ids[1], ids[0], ids[2]}));
    // The third onto the second (now first): third, second, first.
    DragItem(ids[2], ScreenPointOf(ids[1]));
    EXPECT_EQ(Order(), (std::vector<int32_t>{ids[2], ids[1], ids[0]}));
}

TEST_F(ListDropTest, OnlyThisListsOwnItemsFromThisProcessAreMoved)
{
    const std::vector<int32_t> ids = AddPictures(3);
    ASSERT_EQ(ids.size(), 3u);
    SetForegroundWindow(host_->get());

    // Catch what a real drag of this list carries, on a window of the test's own.
    TestHostWindow spyWindow(60, 60);
    SetWindowPos(spyWindow.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SpyTarget spy;
    ASSERT_EQ(spy.RegisterDropTarget(spyWindow.get()), S_OK);
    POINT spyCentre{30, 30};
    ClientToScreen(spyWindow.get(), &spyCentre);
    DragItem(ids[0], spyCentre);
    spy.RevokeDropTarget();
    ASSERT_TRUE(spy.tag.has_value()) << "the drag reached the spy window";
    EXPECT_EQ(spy.tag->itemId, ids[0]);
    EXPECT_EQ(spy.tag->processId, GetCurrentProcessId());
    EXPECT_EQ(Order(), ids) << "a drop elsewhere leaves the list as it was";

    const POINT onThird = ItemPoint(ids[2]);
    // The tag as caught: the list moves the item.
    ItemDragTag own = *spy.tag;
    ItemDragTag otherProcess = own;
    otherProcess.processId += 4;
    ItemDragTag otherList = own;
    otherList.listCookie += 1000;
    ItemDragTag unknownItem = own;
    unknownItem.itemId = 777;

    for (const ItemDragTag& foreign : {otherProcess, otherList, unknownItem}) {
        const Effects e = Drop(ItemData(foreign).Get(), onThird, 0, DROPEFFECT_COPY);
        EXPECT_EQ(e.dropped, static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(Order(), ids);
    }
    EXPECT_EQ(Drop(ItemData(otherProcess).Get(), onThird, 0, DROPEFFECT_COPY).entered,
              static_cast<DWORD>(DROPEFFECT_NONE))
        << "refused as soon as it enters";

    // A list of another window: its drag data means nothing here.
    TestHostWindow otherHost(320, 200);
    ListView other;
    ASSERT_TRUE(other.Create(otherHost.get(), 0, 0, 320, 200));
    const ComPtr<IDataObject> fromOther = MakeItemDragData(NewListCookie(), ids[0]);
    EXPECT_EQ(Drop(fromOther.Get(), onThird, 0, DROPEFFECT_COPY).dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(Order(), ids);

    const Effects e = Drop(ItemData(own).Get(), onThird, 0, DROPEFFECT_COPY);
    EXPECT_EQ(e.entered, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(e.dropped, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(Order(), (std::vector<int32_t>{ids[1], ids[0], ids[2]}));
}
