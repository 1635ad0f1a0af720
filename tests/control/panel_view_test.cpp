// The main panel as a view of what the control object holds: its windows come and go (the
// container deactivates the control and activates it again), its list, selection, state and
// handlers stay, and a picture added before any window shows once one exists.
#include "control/MainPanel.h"

#include "Biz/ImageData.h"
#include "Biz/UploadObserver.h"
#include "control/UploadProgressText.h"
#include "HostWindow.h"
#include "ui/UiText.h"
#include "picture_files.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

namespace {

using Vantor::ImageData;
using Vantor::MainPanel;
using Vantor::UploadSession;

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The engine's reports as the control's window thread would get them: the test hands the
// task's end to the session itself, as the control does when the end report arrives.
class EndWatch : public Vantor::UploadObserver {
public:
    void FileProgress(const std::shared_ptr<ImageData>&, uint32_t) override {}
    void FileCompleted(const std::shared_ptr<ImageData>&) override {}
    void FileFailed(const std::shared_ptr<ImageData>&, const Vantor::UploadFailure&) override {}
    void TaskEnded(const Vantor::UploadTaskResult&) override { ++ended; }
    void TaskCompleted(const Vantor::UploadTaskResult&) override {}

    std::atomic<int> ended{0};
};

// The control's side: uploads go to a loopback port nobody listens on, so each file fails at
// once and the task ends by itself.
class FakeHost : public Vantor::PanelHost {
public:
    explicit FakeHost(UploadSession& session) : session_(session) {}

    bool StartListUpload() override
    {
        ++uploadPresses;
        if (!list)
            return false;
        std::vector<Vantor::UploadFile> files;
        UploadSession::ItemIds items;
        for (const auto& item : list->Items()) {
            files.push_back({item->Record()->id(), item->Record()});
            items.emplace(item->Record()->id(), item->Id());
        }
        Vantor::UploadSettings settings;
        settings.postUrl = L"http://127.0.0.1:1/up";
        settings.retryDelaysMs = {};
        settings.threadCount = 1;
        return session_.Start(std::move(files), std::move(items), settings, reports);
    }
    void EditItem(int32_t) override {}
    void PreviewItem(int32_t id) override { previews.push_back(id); }
    std::wstring PickFolder() const override { return {}; }
    void SetPickFolder(const std::wstring&) override {}
    Vantor::ModalRuns& Modals() override { return modals_; }

    Vantor::ListView* list = nullptr;
    const std::shared_ptr<EndWatch> reports = std::make_shared<EndWatch>();
    std::vector<int32_t> previews;
    int uploadPresses = 0;

private:
    UploadSession& session_;
    Vantor::ModalRuns modals_{nullptr};
};

constexpr int kWidth = 800;
constexpr int kHeight = 500;

class PanelView : public ::testing::Test {
protected:
    void SetUp() override
    {
        panel_ = std::make_unique<MainPanel>(host_, session_);
        host_.list = &panel_->List();
    }
    void TearDown() override
    {
        dropWindow();
        panel_.reset();
    }

    void makeWindow(int width = kWidth, int height = kHeight)
    {
        window_ = std::make_unique<TestHostWindow>(width, height);
        ASSERT_TRUE(window_->get());
        ShowWindow(window_->get(), SW_SHOWNA);
        panel_->MakeView(window_->get());
    }
    // What the control window's WM_DESTROY does, then the window goes.
    void dropWindow()
    {
        if (!window_)
            return;
        panel_->ReleaseView();
        window_.reset();
    }

    std::wstring picture(const wchar_t* name)
    {
        const std::wstring path = folder_.file(name);
        EXPECT_TRUE(testpics::WritePicture(
            path, testpics::Make24(64, 48, [](uint32_t x, uint32_t y) {
                return RGBQUAD{static_cast<BYTE>(x * 3), static_cast<BYTE>(y * 5), 90, 255};
            }),
            L"png"));
        return path;
    }
    bool thumbnailsReady()
    {
        return PumpUntil([this] {
            for (const auto& item : panel_->List().Items())
                if (item->Record()->thumbnailState() != ImageData::ThumbnailState::Ready)
                    return false;
            return true;
        });
    }
    // A press and release at a point of the panel, as the control window routes them.
    void click(int x, int y)
    {
        Vantor::UI::CMouseEventArgs down(MK_LBUTTON, x, y);
        panel_->OnLButtonDown(down);
        Vantor::UI::CMouseEventArgs up(0, x, y);
        if (down.handled && down.handler)
            down.handler->OnLButtonUp(up);
        else
            panel_->OnLButtonUp(up);
    }

    // The task's end report arrived and was handled, as the control handles it.
    bool endTask()
    {
        const int before = session_.phase() == UploadSession::Phase::Uploading ? ended_ : -1;
        if (before < 0 || !PumpUntil([&] { return host_.reports->ended > before; }))
            return false;
        ++ended_;
        session_.End();
        return true;
    }
    // A control of the panel's tree by the name assistive technology reads (the first).
    const ::ControlBase& named(const std::wstring& name) const
    {
        for (const ::ControlBase* child : panel_->GetChildren())
            if (child->AccessibleName() == name)
                return *child;
        ADD_FAILURE() << "no control named so";
        return *panel_;
    }
    bool shows(const std::wstring& name) const { return named(name).IsVisible(); }
    bool enabled(const std::wstring& name) const { return !named(name).IsDisabled(); }

    testpics::TempFolder folder_;
    UploadSession session_;
    FakeHost host_{session_};
    int ended_ = 0;
    std::unique_ptr<MainPanel> panel_;
    std::unique_ptr<TestHostWindow> window_;
};

// The rotate-right and delete tools, right-anchored: a point inside each.
constexpr POINT kRotateRight{kWidth - 157 - 6, 14};
constexpr POINT kDelete{kWidth - 103 - 6, 14};

// The panel's words in its language (Chinese unless told otherwise).
std::wstring Say(Vantor::UI::TextId id) { return Vantor::UI::Text(Vantor::UI::Language::ZhCN, id); }

// Ctrl held down for the keys sent while it lives.
class CtrlHeld {
public:
    CtrlHeld() { set(0x80); }
    ~CtrlHeld() { set(0); }

private:
    static void set(BYTE value)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_CONTROL] = value;
        SetKeyboardState(state);
    }
};

TEST_F(PanelView, AWindowMadeAgainShowsTheSameListAndRunsEachHandlerOnce)
{
    makeWindow();
    const size_t controls = panel_->GetChildren().size();
    panel_->List().AddFiles({picture(L"a.png"), picture(L"b.png")});
    ASSERT_TRUE(thumbnailsReady());
    const int32_t second = panel_->List().Items()[1]->Id();
    panel_->List().AddToSelection(second);
    panel_->List().SelectionChanged(0);
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Filled);

    for (int round = 0; round < 3; ++round) {
        dropWindow();
        makeWindow();
        SCOPED_TRACE(round);
        // Nothing added twice to the tree, the list and its selection as they were, the list
        // window shown again.
        EXPECT_EQ(panel_->GetChildren().size(), controls);
        ASSERT_EQ(panel_->List().Count(), 2);
        EXPECT_EQ(panel_->List().SelectionIds(), std::vector<int32_t>{second});
        EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Filled);
        ASSERT_TRUE(panel_->List().hwnd());
        EXPECT_TRUE(IsWindowVisible(panel_->List().hwnd()));
        EXPECT_TRUE(panel_->List().FindById(second)->editReady);
    }
    // One press of the tool turns the selected picture once.
    click(kRotateRight.x, kRotateRight.y);
    EXPECT_EQ(panel_->List().FindById(second)->Record()->quarterTurns(), 1);
    EXPECT_EQ(panel_->List().Items()[0]->Record()->quarterTurns(), 0);
}

TEST_F(PanelView, PicturesAddedBeforeAnyWindowShowWithTheirThumbnails)
{
    panel_->AddFromPage(picture(L"early.png"));
    ASSERT_EQ(panel_->List().Count(), 1);
    // The thumbnail is made with no window to tell.
    ASSERT_TRUE(thumbnailsReady());
    EXPECT_FALSE(panel_->List().hwnd());
    makeWindow();
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Filled);
    ASSERT_TRUE(panel_->List().hwnd());
    EXPECT_TRUE(IsWindowVisible(panel_->List().hwnd()));
    // Its editor may open on it: the item knows its picture is decoded.
    EXPECT_TRUE(panel_->List().Items()[0]->editReady);
}

TEST_F(PanelView, ADoubleClickOpensOnePreviewAlsoWhileUploading)
{
    makeWindow();
    panel_->List().AddFiles({picture(L"p.png")});
    ASSERT_TRUE(thumbnailsReady());
    const int32_t id = panel_->List().Items()[0]->Id();
    // The middle of the first cell's picture, away from its buttons.
    const LPARAM at = MAKELPARAM(4 + 75, 4 + 45);
    SendMessageW(panel_->List().hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    EXPECT_EQ(host_.previews, std::vector<int32_t>{id});
    // The preview only shows the picture: it opens while a task runs too, once.
    panel_->StartUpload();
    ASSERT_TRUE(panel_->List().IsUploading());
    SendMessageW(panel_->List().hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    EXPECT_EQ(host_.previews, (std::vector<int32_t>{id, id}));
    EXPECT_TRUE(endTask());
}


// The panel, its list and the session give one answer through a task that is cancelled, and
// the next task starts on the first press.
TEST_F(PanelView, ACancelledTaskEndsAlikeForThePanelAndItsList)
{
    const std::wstring kCancelName = Vantor::UI::ChineseText(Vantor::UI::TextId::CancelUpload);
    const std::wstring kUploadName = Vantor::UI::ChineseText(Vantor::UI::TextId::Upload);
    makeWindow();
    panel_->List().AddFiles({picture(L"a.png"), picture(L"b.png")});
    ASSERT_TRUE(thumbnailsReady());
    panel_->List().AddToSelection(panel_->List().Items()[0]->Id());
    panel_->List().SelectionChanged(0);
    const auto& selected = panel_->List().Items()[0]->Record();

    // The upload button's place: a press there starts the task, the next cancels it.
    const POINT button{94 + 42, 4 + 12};
    click(button.x, button.y);
    ASSERT_EQ(session_.phase(), UploadSession::Phase::Uploading);
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Uploading);
    EXPECT_TRUE(panel_->List().IsUploading());
    EXPECT_FALSE(shows(kUploadName));
    EXPECT_TRUE(shows(kCancelName));
    EXPECT_TRUE(enabled(kCancelName));
    EXPECT_FALSE(enabled(std::wstring(Vantor::UI::ChineseText(Vantor::UI::TextId::AddPhotos))));
    click(kRotateRight.x, kRotateRight.y);
    EXPECT_EQ(selected->quarterTurns(), 0) << "the tools are off while the task runs";
    EXPECT_EQ(session_.Files().size(), 2u);

    click(button.x, button.y);
    EXPECT_TRUE(session_.CancelRequested());
    EXPECT_FALSE(enabled(kCancelName)) << "pressed once";
    // Cancelled is not ended: until the task's end arrives everything still says Uploading.
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Uploading);
    EXPECT_TRUE(panel_->List().IsUploading());
    click(button.x, button.y);
    EXPECT_EQ(session_.phase(), UploadSession::Phase::Uploading) << "a press on a disabled cancel starts nothing";

    ASSERT_TRUE(endTask());
    EXPECT_EQ(session_.phase(), UploadSession::Phase::Finished);
    EXPECT_TRUE(session_.Files().empty());
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Filled);
    EXPECT_FALSE(panel_->List().IsUploading());
    EXPECT_TRUE(shows(kUploadName));
    EXPECT_FALSE(shows(kCancelName));
    EXPECT_TRUE(enabled(std::wstring(Vantor::UI::ChineseText(Vantor::UI::TextId::AddPhotos))));
    click(kRotateRight.x, kRotateRight.y);
    EXPECT_EQ(selected->quarterTurns(), 1) << "the selection's tools come back";

    // The engine's thread may still be returning from the task just ended: the press starts
    // the next task all the same, and its cancel button is live again.
    click(button.x, button.y);
    ASSERT_EQ(session_.phase(), UploadSession::Phase::Uploading);
    EXPECT_TRUE(enabled(kCancelName));
    EXPECT_TRUE(panel_->List().IsUploading());
    ASSERT_TRUE(endTask());
    EXPECT_FALSE(panel_->List().IsUploading());
}

// The container takes the window away and gives a new one while a task runs, and the task
// may end while there is no window at all.
TEST_F(PanelView, WindowsMadeAgainDuringATaskShowItAndItsEnd)
{
    const std::wstring kCancelName = Vantor::UI::ChineseText(Vantor::UI::TextId::CancelUpload);
    const std::wstring kUploadName = Vantor::UI::ChineseText(Vantor::UI::TextId::Upload);
    makeWindow();
    panel_->List().AddFiles({picture(L"a.png")});
    ASSERT_TRUE(thumbnailsReady());
    panel_->StartUpload();
    ASSERT_EQ(panel_->CurrentState(), MainPanel::State::Uploading);

    dropWindow();
    makeWindow();
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Uploading);
    EXPECT_TRUE(shows(kCancelName));
    EXPECT_FALSE(shows(kUploadName));
    EXPECT_TRUE(enabled(kCancelName));
    EXPECT_TRUE(panel_->List().IsUploading());

    panel_->CancelUpload();
    dropWindow();
    makeWindow();
    EXPECT_TRUE(shows(kCancelName));
    EXPECT_FALSE(enabled(kCancelName)) << "a cancelled task stays cancelled in the next window";

    dropWindow();
    ASSERT_TRUE(endTask());
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Filled);
    makeWindow();
    EXPECT_TRUE(shows(kUploadName));
    EXPECT_FALSE(shows(kCancelName));
    EXPECT_FALSE(panel_->List().IsUploading());
    EXPECT_TRUE(IsWindowVisible(panel_->List().hwnd()));
}

TEST_F(PanelView, TheHintLineOffersToUndoARemovalForAWhileAndCtrlZWorksAnywhereInThePanel)
{
    makeWindow();
    Vantor::ListView& list = panel_->List();
    list.AddFiles({picture(L"a.png"), picture(L"b.png"), picture(L"c.png")});
    ASSERT_TRUE(thumbnailsReady());
    const auto removeAll = [&] {
        list.SelectAll(true);
        list.SelectionChanged(0);
        click(kDelete.x, kDelete.y);
    };
    removeAll();
    ASSERT_TRUE(list.IsEmpty());
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Empty);
    EXPECT_TRUE(panel_->OffersUndo());
    EXPECT_EQ(panel_->HintText(), L"已删除 3 张照片");
    // The entry follows the words on the hint line, inside the panel.
    const RECT entry = panel_->UndoEntry().GetBounds();
    EXPECT_GT(entry.left, 8 + 40);
    EXPECT_LE(entry.right, kWidth);
    EXPECT_GE(entry.top, 32);
    EXPECT_LE(entry.bottom, 57);

    click((entry.left + entry.right) / 2, (entry.top + entry.bottom) / 2);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(panel_->CurrentState(), MainPanel::State::Filled);
    EXPECT_TRUE(IsWindowVisible(list.hwnd()));
    EXPECT_FALSE(panel_->OffersUndo());
    EXPECT_EQ(panel_->HintText(), Say(Vantor::UI::TextId::Hint));

    // Ctrl+Z reaching the control window (the focus on a button, not in the list).
    removeAll();
    {
        const CtrlHeld ctrl;
        EXPECT_TRUE(panel_->OnKeyDown('Z'));
    }
    EXPECT_EQ(list.Count(), 3);
    EXPECT_FALSE(panel_->OnKeyDown('Z'));  // without Ctrl the panel leaves it

    // The offer goes after a while by the window's timer; Ctrl+Z still brings the photos back.
    removeAll();
    ASSERT_TRUE(panel_->OffersUndo());
    const ULONGLONG end = GetTickCount64() + 30000;
    while (panel_->OffersUndo() && GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // The control window hands its timers to the panel.
            if (msg.message == WM_TIMER && msg.hwnd == window_->get() && panel_->OnTimer(msg.wParam))
                continue;
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    EXPECT_FALSE(panel_->OffersUndo());
    EXPECT_EQ(panel_->HintText(), Say(Vantor::UI::TextId::Hint));
    {
        const CtrlHeld ctrl;
        panel_->OnKeyDown('Z');
    }
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(PanelView, TheHintLineSaysWhatTheTaskDidUntilTheUserDoesSomethingElse)
{
    // The host's uploads go to a port nobody listens on: every file fails to connect. (What
    // the line says while the server holds a whole body is checked with the progress texts.)
    makeWindow();
    Vantor::ListView& list = panel_->List();
    list.AddFiles({picture(L"a.png"), picture(L"b.png"), picture(L"c.png")});
    ASSERT_TRUE(thumbnailsReady());
    panel_->StartUpload();
    ASSERT_EQ(panel_->CurrentState(), MainPanel::State::Uploading);
    ASSERT_TRUE(endTask());

    const std::wstring summary = panel_->HintText();
    const std::wstring none = Say(Vantor::UI::TextId::TaskNoneUploaded);
    EXPECT_EQ(summary.rfind(none, 0), 0u) << summary;
    EXPECT_NE(summary.find(L"3 张上传失败："), std::wstring::npos) << summary;
    panel_->OnProgressTimer();
    list.Arrange();
    EXPECT_EQ(panel_->HintText(), summary);
    // Until the user does something else.
    list.AddToSelection(list.Items()[2]->Id());
    list.SelectionChanged(0);
    EXPECT_EQ(panel_->HintText(), Say(Vantor::UI::TextId::Hint));
}

// The controls of the top row that show now.
std::vector<const ::ControlBase*> TopRow(const MainPanel& panel)
{
    std::vector<const ::ControlBase*> row;
    for (const ::ControlBase* child : panel.GetChildren())
        if (child->IsVisible() && child->GetBounds().top < 32 && child->GetBounds().right > child->GetBounds().left)
            row.push_back(child);
    return row;
}

std::vector<std::wstring> TipTexts(HWND tips)
{
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[80] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.lpszText = text;
        if (SendMessageW(tips, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)))
            texts.push_back(text);
    }
    return texts;
}

TEST_F(PanelView, TheTopRowNeverOverlapsAndANarrowPanelShowsToolIconsWithTheirCaptionsAsTips)
{
    struct Size {
        int width, height;
        bool iconsOnly;
    };
    for (const Size size : {Size{400, 300, true}, Size{520, 400, true}, Size{800, 500, false},
                            Size{1200, 800, false}, Size{300, 200, true}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        makeWindow(size.width, size.height);
        const std::vector<const ::ControlBase*> row = TopRow(*panel_);
        ASSERT_GE(row.size(), 8u);  // add, upload, select all, four tools, sort
        for (size_t a = 0; a < row.size(); ++a)
            for (size_t b = a + 1; b < row.size(); ++b) {
                RECT overlap{};
                EXPECT_FALSE(IntersectRect(&overlap, &row[a]->GetBounds(), &row[b]->GetBounds()))
                    << a << " and " << b << " overlap";
            }
        EXPECT_EQ(panel_->ToolsShowIconsOnly(), size.iconsOnly);
        if (size.iconsOnly) {
            ASSERT_TRUE(panel_->ToolTips());
            std::vector<std::wstring> tips = TipTexts(panel_->ToolTips());
            std::sort(tips.begin(), tips.end());
            std::vector<std::wstring> captions;
            for (const auto id : {Vantor::UI::TextId::SelectAll, Vantor::UI::TextId::Edit,
                                  Vantor::UI::TextId::RotateLeft, Vantor::UI::TextId::RotateRight,
                                  Vantor::UI::TextId::Delete})
                captions.push_back(Say(id));
            std::sort(captions.begin(), captions.end());
            EXPECT_EQ(tips, captions);
        } else if (panel_->ToolTips()) {
            EXPECT_TRUE(TipTexts(panel_->ToolTips()).empty());
        }
        dropWindow();
    }
}

TEST_F(PanelView, AtTheSmallestSizeAClickOnUploadUploadsAndTheEmptyStateShowsWhole)
{
    makeWindow(400, 300);
    // Empty: the big add button and its line inside the list area, in its middle.
    const auto emptyState = [&]() {
        std::vector<RECT> shown;
        for (const ::ControlBase* child : panel_->GetChildren())
            if (child->IsVisible() && child->GetBounds().top >= 57 && child != &panel_->List())
                shown.push_back(child->GetBounds());
        return shown;
    };
    for (const RECT& r : emptyState()) {
        EXPECT_GE(r.left, 1);
        EXPECT_LE(r.right, 399);
        EXPECT_LE(r.bottom, 299);
    }
    ASSERT_EQ(emptyState().size(), 2u);

    panel_->List().AddFiles({picture(L"a.png")});
    panel_->RefreshAfterAdd();
    ASSERT_TRUE(thumbnailsReady());
    const int32_t id = panel_->List().Items()[0]->Id();
    panel_->List().AddToSelection(id);
    panel_->List().SelectionChanged(0);
    // The middle of the upload button: it uploads and turns nothing.
    click(94 + 42, 4 + 12);
    EXPECT_EQ(host_.uploadPresses, 1);
    EXPECT_EQ(panel_->List().FindById(id)->Record()->quarterTurns(), 0);
}

TEST_F(PanelView, TheBigAddButtonAndItsLineSitInTheMiddleOfTheListArea)
{
    for (const POINT size : {POINT{1200, 800}, POINT{800, 500}, POINT{400, 300}}) {
        SCOPED_TRACE(std::to_string(size.x) + "x" + std::to_string(size.y));
        makeWindow(size.x, size.y);
        RECT block{};
        for (const ::ControlBase* child : panel_->GetChildren())
            if (child->IsVisible() && child->GetBounds().top >= 57 && child != &panel_->List())
                UnionRect(&block, IsRectEmpty(&block) ? &child->GetBounds() : &block, &child->GetBounds());
        ASSERT_FALSE(IsRectEmpty(&block));
        // Centred between the list area's edges (57 to the bottom border) within a few pixels,
        // the line's own height aside.
        EXPECT_NEAR((block.left + block.right) / 2.0, size.x / 2.0, 2.0);
        EXPECT_NEAR((block.top + block.bottom) / 2.0, (57 + size.y - 1) / 2.0, 6.0);
        dropWindow();
    }
}

}  // namespace
