#include "control/MainPanel.h"

#include "Biz/ImageData.h"
#include "Biz/Log.h"
#include "control/UploadEstimate.h"
#include "control/UploadProgressText.h"
#include "picker/FileAddDialog.h"
#include "platform/Handles.h"
#include "ui/AccessibleEvents.h"
#include "ui/MessageDialog.h"
#include "ui/SkinTable.h"

#include <log4cplus/loggingmacros.h>

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace Vantor {
namespace {

// The owner of a modal window the panel opens: the active window, else the control window.
HWND ModalOwner(HWND fallback)
{
    const HWND active = GetActiveWindow();
    return active ? active : fallback;
}

}  // namespace

MainPanel::MainPanel(PanelHost& host, UploadSession& session) : host_(host), session_(session)
{
    SetAnchor(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    BuildTree();
    list_.FollowUploading([this] { return session_.IsUploading(); });
    sessionChanged_ = session_.Changed.connect([this] {
        try {
            OnSessionChanged();
        } catch (...) {
        }
    });
}

void MainPanel::MakeView(HWND window)
{
    SetHostWindowTree(window);
    list_.Create(this);
    sort_.CreateView(window);
    Layout();
    ShowState();
}

void MainPanel::BuildTree()
{
    constexpr unsigned kTopRight = AnchorTop | AnchorRight;
    constexpr unsigned kTopCentred = AnchorTop | AnchorCenterH;

    // The upload list fills the panel below the two strips.
    list_.SetAnchor(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    list_.SetMargins(1, 57, 1, 1);
    list_.SetItemWidth(150);
    list_.SetItemHeight(151);
    list_.Attach(this);

    // The captions, images, names and the top row's places come from the language
    // (ShowLanguage, at the end).
    add_.Create(this, L"");
    add_.SetSize(84, 24);
    add_.SetMargins(6, 4, 0, 0);

    upload_.Create(this, L"");
    upload_.SetSize(84, 24);
    upload_.SetMargins(94, 4, 0, 0);

    cancel_.Create(this, L"");
    cancel_.SetSize(84, 24);
    cancel_.SetMargins(94, 4, 0, 0);

    selectAll_.Create(this, L"");
    selectAll_.SetAnchor(kTopRight);

    bigAdd_.Create(this, L"");
    bigAdd_.SetSize(203, 51);
    bigAdd_.SetAnchor(kTopCentred);
    bigAdd_.SetMargins(268, 228, 0, 0);

    emptyText_.Create(this, L"");
    emptyText_.SetFormat(DT_SINGLELINE);
    emptyText_.SetAnchor(kTopCentred);

    for (auto [tool, icon] : {std::pair{&edit_, "IcoEdit"}, {&rotateLeft_, "RotatioLeft"},
                              {&rotateRight_, "RotatioRight"}, {&delete_, "Btn_Delete"}}) {
        tool->Create(this, L"", icon);
        tool->SetAnchor(kTopRight);
    }

    sort_.Attach(this);
    sort_.SetAnchor(kTopRight);
    for (int i = 0; i < 4; ++i)
        sort_.AddString(L"");
    sort_.SetCurSel(0);

    hint_.Create(this, L"");
    hint_.SetMargins(8, 39, 0, 0);
    // Placed after the hint's text when offered (OfferUndo).
    undo_.Create(this, L"", "RotatioLeft");
    undo_.SetVisible(0);

    access_.Focus().SetOrder({&add_, &upload_, &cancel_, &bigAdd_, &selectAll_, &edit_, &rotateLeft_, &rotateRight_,
                              &delete_, &sort_, &list_});
    ShowLanguage();

    // Every handler runs on the window thread and ends its own exceptions: a signal is called
    // from a window procedure.
    const auto guarded = [](auto operation) {
        return [operation](auto&&...) {
            try {
                operation();
            } catch (...) {
            }
        };
    };
    add_.Click.connect(guarded([this] { AddImages(); }));
    bigAdd_.Click.connect(guarded([this] { AddImages(); }));
    upload_.Click.connect(guarded([this] { StartUpload(); }));
    cancel_.Click.connect(guarded([this] { CancelUpload(); }));
    selectAll_.Click.connect(guarded([this] { SelectAll(); }));
    sort_.SelectionChanged.connect([this](int index) {
        try {
            Sort(index);
        } catch (...) {
        }
    });
    edit_.Click.connect(guarded([this] { Edit(); }));
    rotateLeft_.Click.connect(guarded([this] { Rotate(true); }));
    rotateRight_.Click.connect(guarded([this] { Rotate(false); }));
    delete_.Click.connect(guarded([this] { Delete(); }));
    undo_.Click.connect(guarded([this] { Undo(); }));

    list_.SelectionChanged.connect(guarded([this] {
        EndTaskSummary();
        UpdateTools();
    }));
    list_.ItemRemoved.connect(guarded([this] {
        ListMaybeEmpty();
        UpdateTools();  // a removal changes the selection without SelectionChanged
    }));
    list_.FilesDropped.connect(guarded([this] {
        EndTaskSummary();
        RefreshAfterAdd();
    }));
    list_.RemovalUndoable.connect([this](int count) {
        try {
            OfferUndo(count);
        } catch (...) {
        }
    });
    list_.RemovalUndone.connect([this](int count) {
        try {
            EndUndoOffer();
            if (count > 0) {
                RefreshAfterAdd();
                UpdateTools();
            }
        } catch (...) {
        }
    });
    // A drag put the list in the user's own order: the box shows no sort rather than the last.
    list_.OrderChangedByHand.connect(guarded([this] {
        sortIndex_ = -1;
        sort_.SetCurSel(-1);
    }));
    // A double click and the item's preview button each open the preview once. The preview
    // only shows the picture, so it opens while a task runs too.
    list_.ItemDoubleClicked.connect([this](ListViewItem* item) {
        if (item)
            host_.PreviewItem(item->Id());
    });
    list_.PreviewRequested.connect([this](int32_t id) { host_.PreviewItem(id); });
    list_.EditRequested.connect([this](int32_t id) {
        if (!session_.IsUploading())
            host_.EditItem(id);
    });
    list_.ThumbnailsLoaded.connect([this] {
        LOG4CPLUS_INFO(Log::current(), L"thumbnails loaded: " << list_.Count() << L" items");
    });

}

std::wstring MainPanel::Say(UI::TextId id) const { return UI::Text(TextLanguage(), id); }

void MainPanel::ApplyLanguage(UI::Language language)
{
    if (language == TextLanguage())
        return;
    SetLanguage(language);
    ShowLanguage();
    Layout();
    if (CurrentState() == State::Uploading)
        UpdateProgressLine();
    if (GetHwnd())
        InvalidateRect(GetHwnd(), nullptr, FALSE);
    if (list_.hwnd())
        InvalidateRect(list_.hwnd(), nullptr, FALSE);
}

void MainPanel::ShowLanguage()
{
    using UI::TextId;
    const UI::Language language = TextLanguage();
    const auto skin = [language](const char* name) { return UI::SkinInLanguage(name, language); };

    // The buttons drawn from images: the images carry the words, the names say them.
    add_.SetImages(skin("BtnAdd-Normal"), skin("BtnAdd-Hover"), skin("BtnAdd-Hover"), skin("BtnAdd-Disable"));
    upload_.SetImages(skin("BtnPost-Normal"), skin("BtnPost-Hover"), skin("BtnPost-Hover"), skin("BtnPost-Disable"));
    cancel_.SetImages(skin("BtnPost-Cancel"), skin("BtnPost-Cancel"), skin("BtnPost-Cancel"), skin("BtnPost-Cancel"));
    bigAdd_.SetImages(skin("BtnAdd2-Normal"), skin("BtnAdd2-Hover"), skin("BtnAdd2-Hover"), "");
    // The add button is as wide as its image (84 in Chinese, wider in English); upload and
    // cancel follow it.
    const SIZE addSize = UI::ImageLister::Current()->GetSize(skin("BtnAdd-Normal"));
    const int addWidth = addSize.cx > 0 ? addSize.cx : 84;
    add_.SetSize(addWidth, 24);
    upload_.SetMargins(6 + addWidth + 4, 4, 0, 0);
    cancel_.SetMargins(6 + addWidth + 4, 4, 0, 0);

    selectAll_.SetText(Say(TextId::SelectAll));
    edit_.SetText(Say(TextId::Edit));
    rotateLeft_.SetText(Say(TextId::RotateLeft));
    rotateRight_.SetText(Say(TextId::RotateRight));
    delete_.SetText(Say(TextId::Delete));
    sort_.SetStrings({Say(TextId::SortDefault), Say(TextId::SortByName), Say(TextId::SortByCreated),
                      Say(TextId::SortByTaken)});

    // The right-hand group's places follow the words and the width (ArrangeTopRow).
    undo_.SetText(Say(TextId::UndoRemoval));

    emptyText_.SetText(Say(TextId::EmptyList));
    const int emptyHeight = emptyText_.GetBounds().bottom - emptyText_.GetBounds().top;
    // As wide as its words, so that centring places the words themselves in the middle.
    emptyText_.SetSize(emptyText_.GetBounds().right - emptyText_.GetBounds().left, emptyHeight);
    if (CurrentState() != State::Uploading)
        SetHint(Say(TextId::Hint));

    // What assistive technology reads where the panel shows images instead of words.
    const std::pair<ControlBase*, TextId> names[] = {
        {this, TextId::PanelName},       {&list_, TextId::ListName},         {&add_, TextId::AddPhotos},
        {&bigAdd_, TextId::AddPhotos},   {&upload_, TextId::Upload},         {&cancel_, TextId::CancelUpload},
        {&sort_, TextId::SortName},      {&selectAll_, TextId::SelectAll},   {&edit_, TextId::Edit},
        {&rotateLeft_, TextId::RotateLeft}, {&rotateRight_, TextId::RotateRight}, {&delete_, TextId::Delete}};
    for (const auto& [control, id] : names) {
        const std::wstring name = Say(id);
        if (control->AccessibleName() == name)
            continue;
        const bool renamed = !control->AccessibleName().empty();
        control->SetAccessibleName(name);
        if (renamed)
            UI::NotifyControlEvent(EVENT_OBJECT_NAMECHANGE, *control);
    }
}

void MainPanel::ShowState()
{
    // Everything the state decides, from the list and the task as they are now: the first
    // window shows Empty, a window made again shows what the object holds.
    const State state = CurrentState();
    const bool uploading = state == State::Uploading;
    ShowList(!list_.IsEmpty());
    upload_.SetVisible(uploading ? 0 : 1);
    upload_.SetDisabled(list_.IsEmpty() ? 1 : 0);
    cancel_.SetVisible(uploading ? 1 : 0);
    cancel_.SetDisabled(session_.CancelRequested() ? 1 : 0);  // pressed once already
    add_.SetDisabled(uploading ? 1 : 0);
    selectAll_.SetDisabled(uploading ? 1 : 0);
    sort_.SetEnabled(!uploading);
    SetToolsEnabled(!uploading && !list_.SelectionIds().empty());
    if (uploading) {
        UpdateProgressLine();
        if (GetHwnd())
            SetTimer(GetHwnd(), kProgressTimer, 250, nullptr);
    } else if (GetHwnd()) {
        KillTimer(GetHwnd(), kProgressTimer);
    }
    if (GetHwnd())
        InvalidateRect(GetHwnd(), nullptr, FALSE);
}

MainPanel::State MainPanel::CurrentState() const
{
    if (session_.IsUploading())
        return State::Uploading;
    return list_.IsEmpty() ? State::Empty : State::Filled;
}

// ---- adding ---------------------------------------------------------------------------------

void MainPanel::AddFromPage(const std::wstring& path)
{
    // A page adds its files one call after another: the list shows them once the burst ends.
    list_.AddFilesSoon({path}, AddLimits{});
}

void MainPanel::RefreshAfterAdd()
{
    list_.Arrange();
    list_.UpdateScrollBar();
    if (list_.hwnd())
        InvalidateRect(list_.hwnd(), nullptr, FALSE);
    ShowList(!list_.IsEmpty());
    if (CurrentState() != State::Uploading)
        upload_.SetDisabled(list_.IsEmpty() ? 1 : 0);
}

void MainPanel::AddImages()
{
    if (CurrentState() == State::Uploading)
        return;
    EndTaskSummary();
    CFileAddDialog dialog;
    dialog.SetLanguage(TextLanguage());
    dialog.SetUploadList(&list_);
    dialog.SetLimits(list_.GetAddLimits());
    dialog.SetFolder(host_.PickFolder());
    {
        const ModalRun run(host_.Modals());
        dialog.DoModal(ModalOwner(GetHwnd()));
    }
    host_.SetPickFolder(dialog.Folder());
    RefreshAfterAdd();
}

// ---- the list's content ------------------------------------------------------------------------

void MainPanel::SelectAll()
{
    if (CurrentState() == State::Uploading)
        return;
    EndTaskSummary();
    list_.SelectAll(selectAll_.IsChecked());
    UpdateTools();
}

void MainPanel::Sort(int index)
{
    if (list_.IsEmpty() || CurrentState() == State::Uploading) {
        // Refused while a task runs: the box shows the order the list is really in. On an
        // empty list there is nothing to order, and the choice stands for the next sort.
        if (CurrentState() == State::Uploading)
            sort_.SetCurSel(sortIndex_);
        else
            sortIndex_ = index;
        return;
    }
    EndTaskSummary();
    sortIndex_ = index;
    list_.Sort(index);
}

void MainPanel::Edit()
{
    if (CurrentState() == State::Uploading)
        return;
    EndTaskSummary();
    const std::vector<ListViewItem*> selection = list_.Selection();
    if (selection.empty())
        return;
    ListViewItem* const item = selection.front();
    // Ready once its picture is decoded: the thumbnail stands for it.
    const auto record = item ? item->Record() : nullptr;
    item->editReady = record && record->thumbnailState() == ImageData::ThumbnailState::Ready;
    if (item->editReady)
        host_.EditItem(item->Id());
}

void MainPanel::Rotate(bool left)
{
    if (CurrentState() == State::Uploading)
        return;
    EndTaskSummary();
    for (ListViewItem* item : list_.Selection()) {
        if (left)
            item->RotateImageLeft();
        else
            item->RotateImageRight();
    }
}

void MainPanel::Delete()
{
    if (CurrentState() == State::Uploading)
        return;
    list_.RemoveSelected();
    ListMaybeEmpty();
    UpdateTools();
}

void MainPanel::Undo()
{
    if (CurrentState() == State::Uploading)
        return;
    list_.UndoRemoval();
}

bool MainPanel::OnKeyDown(WPARAM key)
{
    if (key == 'Z' && GetKeyState(VK_CONTROL) < 0) {
        Undo();
        return true;
    }
    return false;
}

void MainPanel::OfferUndo(int count)
{
    if (count <= 0 || CurrentState() == State::Uploading)
        return;
    summaryShown_ = false;
    SetHint(UI::FormatText(TextLanguage(), UI::TextId::RemovedPhotos, {std::to_wstring(count)}));
    // The entry follows the hint's text on its line.
    const RECT hint = hint_.GetBounds();
    undo_.SetMargins(hint.right - GetBounds().left + 12, 38, 0, 0);
    undo_.SetVisible(1);
    undo_.Layout();
    undo_.InvalidateBounds();
    if (GetHwnd())
        SetTimer(GetHwnd(), kUndoOfferTimer, kUndoOfferMs, nullptr);
}

void MainPanel::EndUndoOffer()
{
    if (GetHwnd())
        KillTimer(GetHwnd(), kUndoOfferTimer);
    if (!undo_.IsVisible())
        return;
    undo_.InvalidateBounds();
    undo_.SetVisible(0);
    if (CurrentState() != State::Uploading)
        SetHint(Say(UI::TextId::Hint));
}

void MainPanel::UpdateTools()
{
    const bool any = !list_.SelectionIds().empty();
    SetToolsEnabled(any && CurrentState() != State::Uploading);
    if (!any && selectAll_.IsChecked()) {
        selectAll_.SetChecked(false);
        selectAll_.InvalidateBounds();
    }
}

void MainPanel::ListMaybeEmpty()
{
    if (!list_.IsEmpty())
        return;
    ShowList(false);
    upload_.SetDisabled(1);
    SetToolsEnabled(false);
}

void MainPanel::ShowList(bool show)
{
    if (show != list_.IsVisible())
        list_.SetVisible(show ? 1 : 0);
    bigAdd_.SetVisible(show ? 0 : 1);
    emptyText_.SetVisible(show ? 0 : 1);
    bigAdd_.InvalidateBounds();
    emptyText_.InvalidateBounds();
}

void MainPanel::SetToolsEnabled(bool enabled)
{
    for (ControlBase* tool : {static_cast<ControlBase*>(&edit_), static_cast<ControlBase*>(&rotateLeft_),
                              static_cast<ControlBase*>(&rotateRight_), static_cast<ControlBase*>(&delete_)})
        if (tool->IsDisabled() == enabled)
            tool->SetDisabled(enabled ? 0 : 1);
}

// ---- uploading ---------------------------------------------------------------------------------

void MainPanel::StartUpload()
{
    if (CurrentState() == State::Uploading)
        return;
    if (list_.IsEmpty()) {
        ShowMessage(Say(UI::TextId::EmptyUpload));
        return;
    }
    list_.CommitRename();  // a caption being typed goes with the upload
    summaryShown_ = false;
    // The session's change shows the task.
    host_.StartListUpload();
}

void MainPanel::CancelUpload()
{
    // Pressed once: the button stays disabled until the task's end brings upload back.
    session_.Cancel();
}

void MainPanel::OnSessionChanged()
{
    list_.UploadingChanged();
    if (!session_.IsUploading()) {
        RefreshAfterAdd();
        UpdateTools();
        if (session_.phase() == UploadSession::Phase::Finished) {
            // What the task did stays on the hint line until the user does something else.
            SetHint(FormatTaskSummary(SummariseTask(), TextLanguage()));
            summaryShown_ = true;
        } else {
            SetHint(Say(UI::TextId::Hint));
        }
    }
    ShowState();
    upload_.InvalidateBounds();
    cancel_.InvalidateBounds();
}

void MainPanel::OnUploadFileChanged()
{
    if (CurrentState() == State::Uploading)
        UpdateProgressLine();
}

void MainPanel::OnProgressTimer()
{
    if (CurrentState() == State::Uploading)
        UpdateProgressLine();
    else if (GetHwnd())
        KillTimer(GetHwnd(), kProgressTimer);
}

bool MainPanel::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kProgressTimer:
        OnProgressTimer();
        return true;
    case kUndoOfferTimer:
        // The offer ends; Ctrl+Z still brings the removal back until the list changes.
        if (GetHwnd())
            KillTimer(GetHwnd(), kUndoOfferTimer);
        if (undo_.IsVisible()) {
            undo_.InvalidateBounds();
            undo_.SetVisible(0);
            if (hint_.GetText() != Say(UI::TextId::Hint) && CurrentState() != State::Uploading)
                SetHint(Say(UI::TextId::Hint));
        }
        return true;
    default:
        return false;
    }
}

void MainPanel::UpdateProgressLine()
{
    const UploadTaskProgress task = session_.Progress();
    const std::vector<UploadFile>& taskFiles = session_.Files();
    std::vector<FileBytes> files;
    files.reserve(taskFiles.size());
    for (const UploadFile& file : taskFiles)
        files.push_back(FileBytes{file.record->fileSize(), file.record->UploadState()});
    const TaskBytes bytes = EstimateTaskBytes(files);
    TotalProgress total;
    total.files = taskFiles.size();
    total.filesEnded = std::min<uint64_t>(task.ended, total.files);
    total.bytesSent = bytes.done;
    total.bytesTotal = bytes.total;
    total.bytesPerSecond = task.bytesPerSecond;
    total.awaitingServer = bytes.awaitingServer;
    SetHint(FormatTotalProgress(total, TextLanguage()));
}

TaskSummary MainPanel::SummariseTask() const
{
    TaskSummary summary;
    for (const UploadFile& file : session_.LastTaskFiles()) {
        const UploadStatus state = file.record->UploadState();
        switch (state.phase) {
        case UploadPhase::Done:
            ++summary.uploaded;
            summary.uploadedBytes += state.size;
            break;
        case UploadPhase::Failed:
            summary.failures.push_back(file.record->uploadFailure());
            break;
        default:
            ++summary.cancelled;
            break;
        }
    }
    return summary;
}

void MainPanel::EndTaskSummary()
{
    if (!summaryShown_)
        return;
    summaryShown_ = false;
    if (hint_.GetText() != Say(UI::TextId::Hint) && CurrentState() != State::Uploading)
        SetHint(Say(UI::TextId::Hint));
}

void MainPanel::ShowDuplicatesSkipped(int skipped)
{
    if (skipped <= 0 || CurrentState() == State::Uploading)
        return;
    SetHint(UI::FormatText(TextLanguage(), UI::TextId::DuplicatesSkipped, {std::to_wstring(skipped)}));
    RefreshAfterAdd();
}

void MainPanel::ShowOtherKindsRefused(int refused)
{
    if (refused <= 0 || CurrentState() == State::Uploading)
        return;
    SetHint(UI::FormatText(TextLanguage(), UI::TextId::OtherKindsRefused, {std::to_wstring(refused)}));
}

void MainPanel::SetHint(const std::wstring& text)
{
    if (hint_.GetText() == text)
        return;
    hint_.SetText(text);
    hint_.Layout();
    hint_.InvalidateBounds();
}

void MainPanel::ShowMessage(const std::wstring& text)
{
    CMessageDialog dialog;
    dialog.SetLanguage(TextLanguage());
    dialog.SetMessage(text);
    const ModalRun run(host_.Modals());
    dialog.DoModal(ModalOwner(GetHwnd()));
}

// ---- window ----------------------------------------------------------------------------------

void MainPanel::Layout()
{
    RECT client{};
    GetHostClientRect(&client);
    SetBounds(client);
    const int width = std::max<int>(client.right - client.left, kMinWidth);
    const int height = std::max<int>(client.bottom - client.top, kMinHeight);
    // Narrower than the least the panel needs, the row keeps its layout for that width,
    // placed from the left: the window shows what fits and nothing overlaps.
    ArrangeTopRow(width, width - (client.right - client.left));
    ArrangeEmptyState(width, height);
    LayoutChildren();
    UpdateToolTips();
}

namespace {

// The top row: add and upload on the left, up to here.
constexpr int kLeftButtonsEnd = 178;
constexpr int kRowGap = 8;

}  // namespace

void MainPanel::ArrangeTopRow(int width, int beyond)
{
    using UI::Controls::IconLabel;
    using UI::TextId;
    const std::pair<IconLabel*, TextId> tools[] = {{&edit_, TextId::Edit},
                                                   {&rotateLeft_, TextId::RotateLeft},
                                                   {&rotateRight_, TextId::RotateRight},
                                                   {&delete_, TextId::Delete}};
    for (auto& [tool, id] : tools)
        if (tool->GetText() != Say(id))
            tool->SetText(Say(id));
    if (selectAll_.GetCaption() != Say(TextId::SelectAll))
        selectAll_.SetText(Say(TextId::SelectAll));
    // The right-hand group, from the right edge: sort box, the four tools, select all. The
    // Chinese places are the panel's fixed ones; other words get the room they take.
    const bool chinese = TextLanguage() == UI::Language::ZhCN;
    const int sortWidth = chinese ? 86 : std::max(86, sort_.TextWidth() + 28);  // text, arrow, frame
    int rights[4] = {266, 211, 157, 103};
    int selectAllRight = 326;
    if (!chinese) {
        int right = 10 + sortWidth + 7;
        for (int i = 3; i >= 0; --i) {
            rights[i] = right;
            right += tools[i].first->GetWidth() + 12;
        }
        selectAllRight = right + 4;
    }
    const int selectAllWidth = selectAll_.GetWidth() + UI::Controls::CheckBox::BoxWidth;
    const int leftEnd = upload_.GetMargins().left + 84;  // where add and upload end
    iconsOnly_ = width - selectAllRight - selectAllWidth < leftEnd + kRowGap;
    if (!iconsOnly_) {
        selectAll_.SetMargins(0, 7, selectAllRight - beyond, 0);
        for (int i = 0; i < 4; ++i)
            tools[i].first->SetMargins(0, 7, rights[i] - beyond, 0);
        sort_.SetSize(sortWidth, 70);
        sort_.SetMargins(0, 4, 10 - beyond, 0);
        return;
    }
    // Icons only, closer together, and a narrower sort box.
    const int narrowSort = chinese ? 76 : sortWidth;
    sort_.SetSize(narrowSort, 70);
    sort_.SetMargins(0, 4, 10 - beyond, 0);
    int right = 10 + narrowSort + 6;
    for (int i = 3; i >= 0; --i) {
        IconLabel& tool = *tools[i].first;
        tool.SetText(L"");
        tool.SetMargins(0, 7, right - beyond, 0);
        right += tool.GetWidth() + 3;
    }
    selectAll_.SetText(L"");
    selectAll_.SetMargins(0, 7, right + 3 - beyond, 0);
}

void MainPanel::ArrangeEmptyState(int width, int height)
{
    // The button, then its line 70 pixels below its top, as one block in the middle of the
    // list area (57 pixels from the top to the bottom border).
    constexpr int kBlock = 51 + 19 + 16;
    const int area = height - 58;
    const int top = 57 + std::max(4, (area - kBlock) / 2);
    bigAdd_.SetMargins(0, top, 0, 0);
    emptyText_.SetMargins(0, top + 70, 0, 0);
}

void MainPanel::UpdateToolTips()
{
    const HWND window = GetHwnd();
    if (!window)
        return;
    if (!tips_ && iconsOnly_) {
        tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                nullptr, nullptr);
    }
    if (!tips_)
        return;
    // One tool a control, by its place on the window; none while the captions show.
    using UI::TextId;
    const std::pair<const ControlBase*, TextId> tools[] = {
        {&selectAll_, TextId::SelectAll}, {&edit_, TextId::Edit}, {&rotateLeft_, TextId::RotateLeft},
        {&rotateRight_, TextId::RotateRight}, {&delete_, TextId::Delete}};
    for (UINT_PTR i = 0; i < std::size(tools); ++i) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window;
        tool.uId = i + 1;
        SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        if (!iconsOnly_ || !tools[i].first->IsVisible())
            continue;
        tool.uFlags = TTF_SUBCLASS;
        tool.rect = tools[i].first->GetBounds();
        std::wstring text = Say(tools[i].second);  // the tip keeps its own copy
        tool.lpszText = text.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void MainPanel::ReleaseView()
{
    // The window goes; the list, the state and the running task's files stay for the next.
    if (GetHwnd()) {
        KillTimer(GetHwnd(), kProgressTimer);
        KillTimer(GetHwnd(), kUndoOfferTimer);
    }
    undo_.SetVisible(0);
    tips_ = nullptr;  // it went with the window
    ControlBase::ReleaseView();
    SetHostWindowTree(nullptr);
}

void MainPanel::Paint(UI::CPaintEventArgs& e)
{
    RECT client{};
    GetHostClientRect(&client);
    PaintPanelBackground(e.dc, client.right - client.left, client.bottom - client.top);
    ControlBase::Paint(e);  // the children, in creation order
}

void PaintPanelBackground(HDC dc, int width, int height)
{
    // Each box is a GDI rectangle: a 1-pixel border inside the given edges, filled.
    const auto box = [dc](int left, int top, int right, int bottom, COLORREF border, COLORREF fill) {
        const GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, border));
        const GdiObject<HBRUSH> brush(CreateSolidBrush(fill));
        const SelectObjectScope usePen(dc, pen.get());
        const SelectObjectScope useBrush(dc, brush.get());
        Rectangle(dc, left, top, right, bottom);
    };
    const COLORREF border = RGB(166, 197, 225);
    box(0, 0, width, height, border, RGB(230, 242, 253));  // the whole panel
    box(0, 0, width, 32, border, RGB(230, 242, 253));      // the button strip
    box(0, 31, width, 57, border, RGB(240, 246, 254));     // the hint strip, sharing a border line
    const RECT listArea{1, 57, width - 1, height - 1};      // behind the list
    if (listArea.right > listArea.left && listArea.bottom > listArea.top) {
        const GdiObject<HBRUSH> listBrush(CreateSolidBrush(RGB(243, 243, 243)));
        FillRect(dc, &listArea, listBrush.get());
    }
}

}  // namespace Vantor
