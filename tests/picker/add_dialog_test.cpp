// The add-images dialog run modally on a real upload list, driven from inside its own modal
// loop: the tree expanded through its notifications, folders of picture files the test
// writes, clicks and keys sent to the picker, and the message box answered when it shows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "Biz/ByteSizeText.h"
#include "Biz/ImageData.h"
#include "ListFixture.h"
#include "picker/FileAddDialog.h"
#include "picker/FolderLister.h"
#include "picker/FolderPath.h"
#include "test_pictures.h"

using namespace listtest;
using Vantor::AddLimits;
using Vantor::CFileAddDialog;

namespace {

const wchar_t kMessageTitle[] = L"\u63D0\u793A\u6D88\u606F";  // 提示消息

// What runs inside the dialog's modal loop.
struct Script {
    CFileAddDialog* dialog = nullptr;
    std::function<void(CFileAddDialog&)> steps;
    bool started = false;
    UINT_PTR guard = 0;
};
thread_local Script* t_script = nullptr;

void CALLBACK GuardTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (t_script && t_script->dialog->hwnd()) {
        ADD_FAILURE() << "the dialog did not end";
        t_script->dialog->OnCancel();
    }
}

void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!t_script || t_script->started || !t_script->dialog->hwnd() || !IsWindowVisible(t_script->dialog->hwnd()))
        return;
    KillTimer(nullptr, id);
    t_script->started = true;
    t_script->steps(*t_script->dialog);
    t_script->guard = SetTimer(nullptr, 0, 20000, &GuardTimer);
}

thread_local int t_boxes = 0;

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR id, DWORD)
{
    const HWND box = FindWindowW(nullptr, kMessageTitle);
    if (!box || !IsWindowVisible(box))
        return;
    KillTimer(nullptr, id);
    ++t_boxes;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class AddDialog : public ListFixture {
protected:
    // Runs the dialog on the upload list; `steps` run once it shows.
    void Run(CFileAddDialog& dialog, std::function<void(CFileAddDialog&)> steps)
    {
        Script script{&dialog, std::move(steps)};
        t_script = &script;
        dialog.SetUploadList(list_.get());
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &StepTimer);
        dialog.DoModal(host_->get());
        KillTimer(nullptr, timer);
        if (script.guard)
            KillTimer(nullptr, script.guard);
        t_script = nullptr;
        EXPECT_TRUE(script.started);
    }

    // Expands the tree from My Computer down to the folder, as clicks on the expand buttons
    // do, and selects it.
    static bool OpenFolder(CFileAddDialog& dialog, const std::wstring& path)
    {
        const HWND tree = dialog.Tree();
        HTREEITEM at = dialog.ComputerNode();
        while (at && !Vantor::IsSameFolder(dialog.PathOf(at), path)) {
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(at));
            HTREEITEM next = nullptr;
            for (HTREEITEM child = TreeView_GetChild(tree, at); child; child = TreeView_GetNextSibling(tree, child)) {
                const std::wstring childPath = dialog.PathOf(child);
                if (!childPath.empty() && Vantor::IsFolderWithin(path, childPath))
                    next = child;
            }
            at = next;
        }
        if (!at)
            return false;
        TreeView_SelectItem(tree, at);
        // The folder is listed on another thread.
        return PumpUntil([&] { return !dialog.IsListing(); });
    }

    static POINT PickerPoint(CFileAddDialog& dialog, int index)
    {
        const RECT cell = dialog.Picker().Items()[index]->GetRect();
        return POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2 - dialog.Picker().ScrollPos()};
    }

    static void ClickPicture(CFileAddDialog& dialog, int index)
    {
        const POINT at = PickerPoint(dialog, index);
        const HWND picker = dialog.Picker().hwnd();
        SendMessageW(picker, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        SendMessageW(picker, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }

    static void CtrlA(CFileAddDialog& dialog)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        const BYTE saved = state[VK_CONTROL];
        state[VK_CONTROL] = 0x80;
        SetKeyboardState(state);
        SendMessageW(dialog.Picker().hwnd(), WM_KEYDOWN, 'A', 0);
        SendMessageW(dialog.Picker().hwnd(), WM_KEYUP, 'A', 0);
        state[VK_CONTROL] = saved;
        SetKeyboardState(state);
    }

    // A key pressed in the picker goes through the dialog manager, as typed keys do.
    static void PressKey(CFileAddDialog& dialog, UINT key)
    {
        SetFocus(dialog.Picker().hwnd());
        PostMessageW(dialog.Picker().hwnd(), WM_KEYDOWN, key, 1);
        PostMessageW(dialog.Picker().hwnd(), WM_KEYUP, key, 0xC0000001);
    }

    // The message box the next step shows is answered with OK once it is up (its own modal
    // loop runs the timer); t_boxes counts the boxes answered.
    static void ExpectMessageBox() { SetTimer(nullptr, 0, 20, &AnswerMessageBox); }

    std::vector<std::wstring> UploadPaths() const
    {
        std::vector<std::wstring> paths;
        for (const auto& item : list_->Items())
            paths.push_back(item->Record()->path());
        return paths;
    }

    // A folder of `count` small pictures p000.png ...
    std::wstring PictureFolder(const std::wstring& name, int count)
    {
        const std::wstring folder = folder_.file(name);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < count; ++i) {
            wchar_t file[16];
            swprintf(file, 16, L"p%03d.png", i);
            testpics::WritePicture(folder + L"\\" + file, Plain(40, 30, static_cast<uint8_t>(i)), L"png");
        }
        return folder;
    }
};

}  // namespace

TEST_F(AddDialog, AFolderShowsItsPicturesByTheListingRulesWithCountersAtOnce)
{
    const std::wstring photos = folder_.file(L"Photos");
    ASSERT_TRUE(CreateDirectoryW(photos.c_str(), nullptr));
    const std::wstring a = photos + L"\\a.JPG", b = photos + L"\\b.jpeg", c = photos + L"\\c.tif";
    ASSERT_TRUE(testpics::WritePicture(a, Plain(64, 48), L"jpg"));
    ASSERT_TRUE(testpics::WritePicture(b, Plain(64, 48), L"jpg"));
    ASSERT_TRUE(testpics::WritePicture(photos + L"\\g.psd", Plain(64, 48), L"jpg"));  // a kind not taken
    ASSERT_TRUE(testpics::WritePicture(c, Plain(48, 64), L"tif"));
    ASSERT_TRUE(testpics::WritePicture(photos + L"\\d.png", Plain(64, 48), L"png"));
    ASSERT_TRUE(SetFileAttributesW((photos + L"\\d.png").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(GetFileAttributesW((photos + L"\\d.png").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(testpics::WriteBytes(photos + L"\\e.gif", {}));
    ASSERT_TRUE(CreateDirectoryW((photos + L"\\f.jpg").c_str(), nullptr));

    CFileAddDialog dialog;
    Run(dialog, [&](CFileAddDialog& d) {
        // The picker takes no drops: files dropped there were lost.
        EXPECT_EQ(GetPropW(d.Picker().hwnd(), L"OleDropTargetInterface"), nullptr);
        ASSERT_TRUE(OpenFolder(d, photos));
        std::vector<std::wstring> shown;
        for (const auto& item : d.Picker().Items())
            shown.push_back(item->Record()->path());
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(shown, (std::vector<std::wstring>{a, b, c}));
        // The counters show the listing as soon as it ends.
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(0, 3));
        EXPECT_EQ(d.SizeText(), Vantor::PickedSizeText(0));
        // The thumbnails come from other threads.
        EXPECT_TRUE(PumpUntil([&] {
            return std::all_of(d.Picker().Items().begin(), d.Picker().Items().end(), [](const auto& item) {
                return item->Record()->thumbnailState() == Vantor::ImageData::ThumbnailState::Ready;
            });
        }));
        int aIndex = 0;
        while (d.Picker().Items()[aIndex]->Record()->path() != a)
            ++aIndex;
        ClickPicture(d, aIndex);
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(1, 3));
        EXPECT_EQ(d.SizeText(), Vantor::PickedSizeText(testpics::ReadBytes(a).size()));
        d.OnOK();
    });
    EXPECT_EQ(UploadPaths(), (std::vector<std::wstring>{a}));
    EXPECT_TRUE(Vantor::IsSameFolder(dialog.Folder(), photos));
    // The upload list shares the picker's record: no second decode.
    EXPECT_EQ(list_->Items()[0]->Record()->thumbnailState(), Vantor::ImageData::ThumbnailState::Ready);
}

TEST_F(AddDialog, TheLastFolderReopensWhateverTheCaseAndNotItsNamesake)
{
    const std::wstring base = PictureFolder(L"Trip", 2);
    PictureFolder(L"Trip2", 3);
    PictureFolder(L"Trip\\Day", 1);  // a folder inside: the picker does not search it
    std::wstring asked = base;
    std::transform(asked.begin(), asked.end(), asked.begin(), towlower);
    asked += L"\\";
    CFileAddDialog dialog;
    dialog.SetFolder(asked);
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(PumpUntil([&] { return !d.IsListing(); }));
        const HTREEITEM selected = TreeView_GetSelection(d.Tree());
        EXPECT_TRUE(Vantor::IsSameFolder(d.PathOf(selected), base)) << d.PathOf(selected);
        EXPECT_EQ(d.Picker().Count(), 2);
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(0, 2));
        // My Computer lists nothing and keeps the last folder.
        TreeView_SelectItem(d.Tree(), d.ComputerNode());
        EXPECT_EQ(d.Picker().Count(), 0);
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(0, 0));
        PressKey(d, VK_ESCAPE);
    });
    EXPECT_TRUE(Vantor::IsSameFolder(dialog.Folder(), base));
    EXPECT_TRUE(list_->IsEmpty());
}

TEST_F(AddDialog, CtrlAChecksEverythingAndEnterConfirms)
{
    const std::wstring folder = PictureFolder(L"Keys", 5);
    CFileAddDialog dialog;
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        ClickPicture(d, 1);
        ClickPicture(d, 3);
        EXPECT_EQ(d.Picker().CheckedCount(), 2);
        // Select all checks every picture, including the ones checked already.
        CtrlA(d);
        EXPECT_EQ(d.Picker().CheckedCount(), 5);
        CtrlA(d);
        EXPECT_EQ(d.Picker().CheckedCount(), 5);
        PressKey(d, VK_RETURN);
    });
    EXPECT_EQ(list_->Count(), 5);
    EXPECT_EQ(dialog.AddedCount(), 5);
}

TEST_F(AddDialog, TheKeyboardAloneMarksPicturesAndConfirms)
{
    const std::wstring folder = PictureFolder(L"Keyboard", 5);
    CFileAddDialog dialog;
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        EXPECT_TRUE(GetWindowLongW(d.Picker().hwnd(), GWL_STYLE) & WS_TABSTOP) << "Tab reaches the picker";
        PressKey(d, VK_HOME);
        PressKey(d, VK_RIGHT);
        PressKey(d, VK_RIGHT);
        ASSERT_TRUE(PumpUntil([&] { return d.Picker().FocusId() == d.Picker().Items()[2]->Id(); }));
        EXPECT_EQ(d.Picker().CheckedCount(), 0) << "the arrows mark nothing";
        PressKey(d, VK_SPACE);
        PressKey(d, VK_END);
        PressKey(d, VK_SPACE);
        PressKey(d, VK_HOME);
        PressKey(d, VK_SPACE);
        PressKey(d, VK_SPACE);  // marked, then not
        ASSERT_TRUE(PumpUntil([&] { return d.Picker().FocusId() == d.Picker().Items()[0]->Id(); }));
        Pump();  // the keys posted after the Home
        EXPECT_EQ(d.Picker().CheckedCount(), 2);
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(2, 5));
        PressKey(d, VK_RETURN);
    });
    const std::vector<std::wstring> added = UploadPaths();
    ASSERT_EQ(added.size(), 2u);
    EXPECT_NE(added[0].find(L"p002.png"), std::wstring::npos) << added[0];
    EXPECT_NE(added[1].find(L"p004.png"), std::wstring::npos) << added[1];
}

TEST_F(AddDialog, EscapeAndCancelAddNothing)
{
    const std::wstring folder = PictureFolder(L"Esc", 3);
    CFileAddDialog dialog;
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        CtrlA(d);
        PressKey(d, VK_ESCAPE);
    });
    EXPECT_TRUE(list_->IsEmpty());
    CFileAddDialog again;
    Run(again, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        d.Picker().SetAllChecked(1);
        d.OnCancel();
    });
    EXPECT_TRUE(list_->IsEmpty());
}

TEST_F(AddDialog, OnePickTakesAtMostAHundredOrThePickLimitAndSaysSo)
{
    const std::wstring folder = PictureFolder(L"Many", 150);
    CFileAddDialog dialog;
    dialog.SetLimits(AddLimits{300, 0, 0});
    t_boxes = 0;
    std::vector<std::wstring> shown;
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        ASSERT_EQ(d.Picker().Count(), 150);
        for (const auto& item : d.Picker().Items())
            shown.push_back(item->Record()->path());
        CtrlA(d);
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(150, 150));
        ExpectMessageBox();
        d.OnOK();
    });
    EXPECT_EQ(t_boxes, 1);
    ASSERT_EQ(list_->Count(), 100);
    // The first hundred in display order.
    shown.resize(100);
    EXPECT_EQ(UploadPaths(), shown);

    // A picture already in the list is skipped and still counts; the page's pick limit.
    CFileAddDialog limited;
    limited.SetLimits(AddLimits{300, 0, 20});
    Run(limited, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        CtrlA(d);
        ExpectMessageBox();
        d.OnOK();
    });
    EXPECT_EQ(t_boxes, 2);
    // The first twenty were all in the list already: nothing new within them.
    EXPECT_EQ(list_->Count(), 100);
}

TEST_F(AddDialog, ThePickLimitAndTheListsOwnLimitHoldTheUploadList)
{
    const std::wstring folder = PictureFolder(L"Limits", 30);
    CFileAddDialog dialog;
    dialog.SetLimits(AddLimits{300, 0, 20});
    t_boxes = 0;
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        CtrlA(d);
        ExpectMessageBox();
        d.OnOK();
    });
    EXPECT_EQ(list_->Count(), 20);

    // The upload list holds at most the page's files limit: 25 here, so 5 more from another
    // folder, and the message.
    const std::wstring other = PictureFolder(L"Limits2", 30);
    CFileAddDialog full;
    full.SetLimits(AddLimits{25, 0, 0});
    Run(full, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, other));
        CtrlA(d);
        ExpectMessageBox();
        d.OnOK();
    });
    EXPECT_EQ(list_->Count(), 25);
    EXPECT_EQ(t_boxes, 2);
}

TEST_F(AddDialog, SizesOverFourGibibytesAddUpWithoutWrapping)
{
    const std::wstring folder = folder_.file(L"Big");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    constexpr int64_t kBig = 5LL << 30;  // sparse: no disk space used
    for (const wchar_t* name : {L"\\big1.bmp", L"\\big2.bmp"}) {
        const HANDLE file = CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER size{};
        size.QuadPart = kBig;
        EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
        EXPECT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    }
    CFileAddDialog dialog;
    dialog.SetLimits(AddLimits{300, 0, 0});
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, folder));
        ASSERT_EQ(d.Picker().Count(), 2);
        EXPECT_EQ(d.Picker().Items()[0]->Record()->fileSize(), static_cast<uint64_t>(kBig));
        CtrlA(d);
        EXPECT_EQ(d.Picker().CheckedSize(), 2 * kBig);
        EXPECT_EQ(d.SizeText(), Vantor::PickedSizeText(2 * kBig));
        EXPECT_EQ(d.SizeText(), L"\u5171" L"10.00 GB");
        d.OnCancel();
    });
}

TEST_F(AddDialog, ChecksStayWithTheirFolderAndOkTakesThemAll)
{
    const std::wstring first = PictureFolder(L"First", 5);
    const std::wstring second = PictureFolder(L"Second", 3);
    CFileAddDialog dialog;
    dialog.SetLimits(AddLimits{300, 0, 0});
    std::vector<std::wstring> expected;
    Run(dialog, [&](CFileAddDialog& d) {
        ASSERT_TRUE(OpenFolder(d, first));
        // The folder shown is named above the pictures, and stays marked in the tree.
        EXPECT_EQ(d.PathText(), first);
        EXPECT_TRUE(GetWindowLongPtrW(d.Tree(), GWL_STYLE) & TVS_SHOWSELALWAYS);
        ClickPicture(d, 1);
        ClickPicture(d, 3);
        ASSERT_TRUE(OpenFolder(d, second));
        EXPECT_EQ(d.PathText(), second);
        EXPECT_EQ(d.Picker().CheckedCount(), 0);
        ClickPicture(d, 0);
        const std::wstring fromSecond = d.Picker().Items()[0]->Record()->path();
        const int64_t one = static_cast<int64_t>(d.Picker().Items()[0]->Record()->fileSize());
        EXPECT_EQ(d.CheckedInAllFolders(), 3);
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(1, 3, 2));
        // Back: the two are checked again; the counter and the size count both folders.
        ASSERT_TRUE(OpenFolder(d, first));
        ASSERT_EQ(d.Picker().Count(), 5);
        EXPECT_EQ(d.Picker().CheckedCount(), 2);
        EXPECT_TRUE(d.Picker().Items()[1]->Checked());
        EXPECT_TRUE(d.Picker().Items()[3]->Checked());
        EXPECT_EQ(d.CounterText(), Vantor::PickedCountText(2, 5, 1));
        expected = {d.Picker().Items()[1]->Record()->path(), d.Picker().Items()[3]->Record()->path(), fromSecond};
        EXPECT_EQ(d.SizeText(), Vantor::PickedSizeText(d.Picker().CheckedSize() + one));
        // The select-all box follows the pictures: all checked by Ctrl+A ticks it, one
        // unchecked clears it.
        EXPECT_FALSE(d.SelectAllChecked());
        CtrlA(d);
        EXPECT_TRUE(d.SelectAllChecked());
        ClickPicture(d, 4);
        EXPECT_FALSE(d.SelectAllChecked());
        ClickPicture(d, 4);
        d.Picker().Items()[0]->SetChecked(0);
        d.Picker().Items()[2]->SetChecked(0);
        d.Picker().Items()[4]->SetChecked(0);
        d.UpdateCounters();
        d.OnOK();
    });
    // Folder by folder in the order they were opened.
    EXPECT_EQ(UploadPaths(), expected);
}

TEST_F(AddDialog, AListerBusyWithASlowFileLetsGoAtOnceAndEndsOnItsOwn)
{
    // The second file takes long to open (a network folder, a file another program holds).
    const std::wstring folder = PictureFolder(L"Slow", 3);
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false, released = false, ended = false;
        int reads = 0;
    };
    const auto gate = std::make_shared<Gate>();
    auto reader = [gate](const std::wstring& path) {
        std::unique_lock<std::mutex> hold(gate->lock);
        if (++gate->reads == 2) {
            gate->entered = true;
            gate->changed.notify_all();
            gate->changed.wait_for(hold, std::chrono::seconds(5), [&] { return gate->released; });
        }
        gate->ended = gate->reads >= 2;
        gate->changed.notify_all();
        hold.unlock();
        return Vantor::FolderLister::ReadFile(path);
    };
    auto lister = std::make_unique<Vantor::FolderLister>(host_->get(), WM_APP + 77, reader);
    lister->Start(folder);
    {
        std::unique_lock<std::mutex> hold(gate->lock);
        ASSERT_TRUE(gate->changed.wait_for(hold, std::chrono::seconds(10), [&] { return gate->entered; }));
    }
    const DWORD before = GetTickCount();
    lister.reset();
    EXPECT_LT(GetTickCount() - before, 1000u) << "the owner waited for the file";

    // Let go, the listing ends without reading on.
    {
        std::lock_guard<std::mutex> hold(gate->lock);
        gate->released = true;
        gate->changed.notify_all();
    }
    std::unique_lock<std::mutex> hold(gate->lock);
    EXPECT_TRUE(gate->changed.wait_for(hold, std::chrono::seconds(10), [&] { return gate->ended; }));
    EXPECT_EQ(gate->reads, 2);
}

TEST(PickedTexts, SizesAsThePanelWritesThemAndCountsOfEveryFolder)
{
    const std::wstring total = L"\u5171";  // 共
    for (const uint64_t bytes : {0ull, 1023ull, 1536ull, 5ull << 20, 3ull << 30})
        EXPECT_EQ(Vantor::PickedSizeText(static_cast<int64_t>(bytes)), total + Vantor::ByteSizeText(bytes));
    EXPECT_EQ(Vantor::PickedSizeText(0), total + L"0 B");
    EXPECT_EQ(Vantor::PickedSizeText(3LL << 30), total + L"3.00 GB");
    EXPECT_EQ(Vantor::PickedCountText(3, 12), L"\u5F53\u524D\u9009\u62E9\uFF1A" L"3/12 \u5F20\u7167\u7247");
    // 当前选择：12 张照片（本文件夹 3/30）
    EXPECT_EQ(Vantor::PickedCountText(3, 30, 9),
              L"\u5F53\u524D\u9009\u62E9\uFF1A" L"12 \u5F20\u7167\u7247\uFF08\u672C\u6587\u4EF6\u5939 3/30\uFF09");
    // The limit messages say what happened and what to do, with the numbers.
    const std::wstring full = Vantor::LimitMessage(true, 300, 30, 20);
    EXPECT_NE(full.find(L"300"), std::wstring::npos);
    EXPECT_NE(full.find(L" 30 "), std::wstring::npos);
    EXPECT_NE(full.find(L"20 \u5F20\u672A\u6DFB\u52A0"), std::wstring::npos);  // 20 张未添加
    EXPECT_NE(Vantor::LimitMessage(false, 100, 100, 50).find(L"\u4E00\u6B21"), std::wstring::npos);  // 一次
}
