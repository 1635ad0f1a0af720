#include "control/MainPanel.h"

#include "Biz/ImageData.h"
#include "Biz/Log.h"
#include "control/UploadProgressText.h"
#include "picker/FileAddDialog.h"
#include "platform/Handles.h"
#include "ui/AccessibleEvents.h"
#include "ui/MessageDialog.h"
#include "ui/SkinTable.h"

#include <log4cplus/loggingmacros.h>

#include <algorithm>
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

    list_.SelectionChanged.connect(guarded([this] { UpdateTools(); }));
    list_.ItemRemoved.connect(guarded([this] {
        ListMaybeEmpty();
        UpdateTools();  // a removal changes the selection without SelectionChanged
    }));
    list_.FilesDropped.connect(guarded([this] { RefreshAfterAdd(); }));
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
    const bool chinese = language == UI::Language::ZhCN;

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

    // The right-hand group, from the right edge: sort box, the four tools, select all. The
    // Chinese places are the panel's fixed ones; other words get the room they take.
    if (chinese) {
        sort_.SetSize(86, 70);
        sort_.SetMargins(0, 4, 10, 0);
        delete_.SetMargins(0, 7, 103, 0);
        rotateRight_.SetMargins(0, 7, 157, 0);
        rotateLeft_.SetMargins(0, 7, 211, 0);
        edit_.SetMargins(0, 7, 266, 0);
        selectAll_.SetMargins(0, 7, 326, 0);
    } else {
        const int sortWidth = std::max(86, sort_.TextWidth() + 28);  // the text, the arrow and the frame
        sort_.SetSize(sortWidth, 70);
        sort_.SetMargins(0, 4, 10, 0);
        int right = 10 + sortWidth + 7;
        for (UI::Controls::IconLabel* tool : {&delete_, &rotateRight_, &rotateLeft_, &edit_}) {
            tool->SetMargins(0, 7, right, 0);
            right += tool->GetWidth() + 12;
        }
        selectAll_.SetMargins(0, 7, right + 4, 0);
    }

    emptyText_.SetText(Say(TextId::EmptyList));
    const int emptyHeight = emptyText_.GetBounds().bottom - emptyText_.GetBounds().top;
    emptyText_.SetSize(chinese ? 227 : emptyText_.GetBounds().right - emptyText_.GetBounds().left, emptyHeight);
    emptyText_.SetMargins(0, 298, 0, 0);
    if (CurrentState() != State::Uploading)
        SetHint(Say(TextId::Hint));

    // What assistive technology reads where the panel shows images instead of words.
    const std::pair<ControlBase*, TextId> names[] = {
        {this, TextId::PanelName},       {&list_, TextId::ListName},         {&add_, TextId::AddPhotos},
        {&bigAdd_, TextId::AddPhotos},   {&upload_, TextId::Upload},         {&cancel_, TextId::CancelUpload},
        {&sort_, TextId::SortName}};
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
    sortIndex_ = index;
    list_.Sort(index);
}

void MainPanel::Edit()
{
    if (CurrentState() == State::Uploading)
        return;
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
        SetHint(Say(UI::TextId::Hint));
        RefreshAfterAdd();
        UpdateTools();
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

void MainPanel::UpdateProgressLine()
{
    const UploadTaskProgress task = session_.Progress();
    TotalProgress total;
    const std::vector<UploadFile>& files = session_.Files();
    total.files = files.size();
    total.filesEnded = std::min<uint64_t>(task.ended, total.files);
    total.bytesSent = task.bytesSent;
    total.bytesPerSecond = task.bytesPerSecond;
    // A file not prepared yet counts with its size on disk until its encoded size is known.
    for (const UploadFile& file : files) {
        const UploadStatus state = file.record->UploadState();
        total.bytesTotal += state.size > 0 ? state.size : file.record->fileSize();
    }
    SetHint(FormatTotalProgress(total, TextLanguage()));
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
    LayoutChildren();
}

void MainPanel::ReleaseView()
{
    // The window goes; the list, the state and the running task's files stay for the next.
    if (GetHwnd())
        KillTimer(GetHwnd(), kProgressTimer);
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
