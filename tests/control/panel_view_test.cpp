// The main panel as a view of what the control object holds: its windows come and go (the
// container deactivates the control and activates it again), its list, selection, state and
// handlers stay, and a picture added before any window shows once one exists.
#include "control/MainPanel.h"

#include "Biz/ImageData.h"
#include "Biz/UploadObserver.h"
#include "HostWindow.h"
#include "ui/UiText.h"
#include "picture_files.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

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

    void makeWindow()
    {
        window_ = std::make_unique<TestHostWindow>(kWidth, kHeight);
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

// The rotate-right tool, right-anchored: a point inside it.
constexpr POINT kRotateRight{kWidth - 157 - 6, 14};

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

}  // namespace
