#include "picker/ListView.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <functional>

#include "Biz/ImageData.h"
#include "picker/ItemDates.h"
#include "picker/DuplicateCheck.h"
#include "picker/FilePathKey.h"
#include "picker/ListViewAccessible.h"
#include "ui/UiText.h"
#include "ui/Drawing.h"

namespace Vantor {

bool IsAcceptedImageExtension(const std::wstring& path)
{
    static const PictureKinds kinds;
    return kinds.Accepts(path);
}

ListView::ListView(ItemFactory makeItem)
    : makeItem_(std::move(makeItem)), access_(std::make_unique<ListAccess>(*this)),
      loader_(tasks_.poster(), {[this](int32_t id) { OnThumbnailShown(id); }, [this](uint32_t run) { OnThumbnailsDone(run); }})
{
    // Assistive technology hears of every change of the selection and of the items, before
    // the owner's handlers run.
    SelectionChanged.connect([this](int) { AnnounceSelection(); });
    ItemRemoved.connect([this](int id) {
        announcedStatus_.erase(id);
        cells_.Forget(id);
        FocusAfterRemoval();
        if (hwnd())
            NotifyWinEvent(EVENT_OBJECT_REORDER, hwnd(), OBJID_CLIENT, CHILDID_SELF);
        AnnounceSelection();
    });
}

ListView::~ListView()
{
    // Nothing posted for the list runs any more; the window goes while the members it uses
    // are still here.
    tasks_.Close();
    Destroy();
    loader_.Shutdown();
}

// ---- creation and placement ----------------------------------------------------------------

HWND ListView::Create(HWND parent, int x, int y, int width, int height)
{
    const RECT rect{x, y, x + width, y + height};
    if (!CreateWindowOfClass(parent, rect, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL))
        return nullptr;
    CreateParts();
    return hwnd();
}

void ListView::Create(ControlBase* parent)
{
    if (!parent)
        return;
    // Attached once; each window the parent gets (the control activated again) makes a new
    // view of the same items.
    if (parent_ != parent)
        Attach(parent);
    host_ = parent->GetHwnd();
    if (hwnd() || !host_)
        return;
    visible_ = 0;
    const RECT bounds = ComputeBounds();
    if (!CreateWindowOfClass(parent->GetHwnd(), bounds, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL))
        return;
    bounds_ = bounds;
    CreateParts();
}

void ListView::CreateParts()
{
    hoverId_ = -1;
    hoverTracking_ = false;
    // Thumbnails made while there was no window are in the records: the items follow them,
    // and what is still missing is made now.
    bool missing = false;
    for (const auto& item : items_) {
        const auto record = item->Record();
        item->editReady = record && record->thumbnailState() == ImageData::ThumbnailState::Ready;
        missing = missing || (record && record->thumbnailState() == ImageData::ThumbnailState::Pending);
    }
    Arrange();
    ResizeBuffer();
    renameBox_.Create(hwnd());
    renameBox_.onCommit = [this] { CommitRename(); };
    // One tool for the whole list, whose text follows what is under the pointer (UpdateTip):
    // with no text it never shows.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                           0, hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (tip_) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND;  // fed by UpdateTip, only over a caption
        tool.hwnd = hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd());
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    renameBox_.onCancel = [this] { CancelRename(); };
    // Work posted while there was no window (thumbnails made meanwhile) runs now.
    tasks_.SetWindow(hwnd());
    UpdateScrollBar();
    RegisterItemDragFormat();
    if (acceptsDrops_)
        dropTarget_.RegisterDropTarget(hwnd());
    if (missing)
        StartThumbnailLoading();
    // Additions whose message went with the last window.
    ShowAdditions();
}

void ListView::ResizeBuffer()
{
    const int width = std::max<LONG>(1, client_.right - client_.left);
    const int height = std::max<LONG>(1, client_.bottom - client_.top);
    if (bufferDc_ && bufferSize_.cx == width && bufferSize_.cy == height)
        return;
    if (bufferDc_ && previousBitmap_)
        SelectObject(bufferDc_.get(), previousBitmap_);
    previousBitmap_ = nullptr;
    buffer_.reset();
    bufferDc_.reset(CreateCompatibleDC(nullptr));
    if (!bufferDc_)
        return;
    buffer_.reset(CreateTopDownDib(width, height));
    if (!buffer_)
        return;
    previousBitmap_ = SelectObject(bufferDc_.get(), buffer_.get());
    bufferSize_ = SIZE{width, height};
}

void ListView::SetVisible(int flag)
{
    visible_ = flag;
    if (hwnd())
        ShowWindow(hwnd(), flag ? SW_SHOWNA : SW_HIDE);
}

void ListView::Layout()
{
    if (!parent_ || !hwnd())
        return;
    const RECT bounds = ComputeBounds();
    bounds_ = bounds;
    CommitRename();
    MoveWindow(hwnd(), bounds.left, bounds.top, std::max<LONG>(0, bounds.right - bounds.left),
               std::max<LONG>(0, bounds.bottom - bounds.top), TRUE);
    Arrange();
    UpdateScrollBar();
}

void ListView::ReleaseView()
{
    // The items are the list's, not its window's: they stay for the next view.
    CommitRename();
    ControlBase::ReleaseView();
}

void ListView::SetInteractive(bool interactive)
{
    if (interactive_ == interactive)
        return;
    if (!interactive)
        CommitRename();
    interactive_ = interactive;
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

void ListView::UploadingChanged()
{
    // A caption being typed goes with the task, and the task takes the list as it is.
    if (IsUploading()) {
        CommitRename();
        ForgetRemoval();
    }
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

// ---- content -------------------------------------------------------------------------------

ListViewItem* ListView::AddItem(std::unique_ptr<ListViewItem> item)
{
    if (!item)
        return nullptr;
    ForgetRemoval();  // what comes back must not clash with what came in
    item->owner_ = this;
    item->id_ = nextId_++;
    // An item whose picture already decoded (a picker item's record) may be edited at once.
    if (const auto record = item->Record())
        item->editReady = record->thumbnailState() == ImageData::ThumbnailState::Ready;
    if (pathKeysKnown_ && item->Record())
        ++pathKeys_[item->PathKey()];
    items_.push_back(std::move(item));
    return items_.back().get();
}

std::unique_ptr<ListViewItem> ListView::MakeItem(std::shared_ptr<ImageData> record) const
{
    if (!record)
        return nullptr;
    return makeItem_ ? makeItem_(std::move(record)) : std::make_unique<ListViewItem>(std::move(record));
}

AddResult ListView::AddFiles(const std::vector<std::wstring>& paths) { return AddFiles(paths, limits_); }

AddResult ListView::AddFiles(const std::vector<std::wstring>& paths, const AddLimits& limits)
{
    const AddResult result = TakeFiles(paths, limits);
    AfterAdditions(result.added > 0);
    if (result.leftOut > 0)
        AddLimitReached(result.leftOut);
    if (result.otherKind > 0)
        OtherKindsRefused(result.otherKind);
    return result;
}

AddResult ListView::AddFilesSoon(const std::vector<std::wstring>& paths, const AddLimits& limits)
{
    const AddResult result = TakeFiles(paths, limits);
    if (result.added > 0) {
        additionsAdded_ = true;
        if (!additionsWaiting_ && hwnd() && tasks_.HasWindow())
            additionsWaiting_ = tasks_.Post([this] {
                additionsWaiting_ = false;
                ShowAdditions();
            });
        if (!additionsWaiting_)
            ShowAdditions();
    }
    if (result.leftOut > 0)
        AddLimitReached(result.leftOut);
    if (result.otherKind > 0)
        OtherKindsRefused(result.otherKind);
    return result;
}

void ListView::ShowAdditions()
{
    if (!additionsAdded_)
        return;
    AfterAdditions(true);
}

AddResult ListView::TakeFiles(const std::vector<std::wstring>& paths, const AddLimits& limits)
{
    AddResult result;
    CommitRename();
    const int columns = Columns();
    for (const std::wstring& given : paths) {
        // Held as Windows resolves it, so that a path without a drive or folder keeps naming the
        // same file when the process's current folder changes.
        const std::wstring path = FullFilePath(given);
        if (path.empty() || PathIsRootW(path.c_str()))
            continue;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (!limits.kinds.Accepts(path)) {  // a file of another kind: the user is told how many
            ++result.otherKind;
            continue;
        }
        const int64_t size = (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (limits.fileSizeLimit > 0 && size > limits.fileSizeLimit)
            continue;
        std::wstring key = FilePathKey(path);
        if (ContainsPathKey(key))
            continue;
        if (limits.filesLimit > 0 && Count() >= limits.filesLimit) {
            ++result.leftOut;
            continue;
        }
        std::shared_ptr<ImageData> record = ImageData::CreateUnloaded(path, static_cast<uint64_t>(size));
        if (!record)
            continue;
        std::unique_ptr<ListViewItem> item = MakeItem(std::move(record));
        if (!item)
            continue;
        // The key just made is the item's: it need not look the path up again.
        if (const auto held = item->Record()) {
            item->keyPath_ = held->path();
            item->key_ = std::move(key);
        }
        // In its place at once; the rest of the layout follows the additions.
        item->SetRect(geometry_.Cell(Count(), columns));
        AddItem(std::move(item));
        ++result.added;
    }
    return result;
}

void ListView::AfterAdditions(bool added)
{
    additionsAdded_ = false;  // a showing still queued then finds nothing to do
    Arrange();
    UpdateScrollBar();
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
    if (added) {
        StartThumbnailLoading();
        CheckForDuplicates();
    }
    FilesDropped();
}

void ListView::Arrange()
{
    if (hwnd()) {
        GetClientRect(hwnd(), &client_);
        RECT window{};
        GetWindowRect(hwnd(), &window);
        width_ = window.right - window.left;
    }
    ResizeBuffer();
    const int columns = Columns();
    for (size_t i = 0; i < items_.size(); ++i)
        items_[i]->SetRect(geometry_.Cell(static_cast<int>(i), columns));
    // Three screens of cells: the one shown and enough to scroll back and forth.
    const int rowHeight = std::max(1, geometry_.itemHeight + geometry_.verticalGap);
    const int rows = ClientHeight() / rowHeight + 2;
    cells_.SetCapacity(static_cast<size_t>(std::max(16, 3 * columns * rows)));
}

int ListView::MaxScroll() const { return geometry_.MaxScroll(Count(), Columns(), ClientHeight()); }

void ListView::UpdateScrollBar()
{
    scrollPos_ = 0;
    if (!hwnd())
        return;
    const int columns = Columns();
    // The bar stays in place, disabled when everything fits, so the client width never changes.
    SCROLLINFO info{sizeof(info), SIF_ALL | SIF_DISABLENOSCROLL};
    if (geometry_.NeedsScrollBar(Count(), columns, ClientHeight())) {
        info.nMin = 0;
        info.nMax = geometry_.ContentHeight(Count(), columns) - 1;
        info.nPage = static_cast<UINT>(ClientHeight());
        info.nPos = 0;
        SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
        EnableScrollBar(hwnd(), SB_VERT, ESB_ENABLE_BOTH);
    } else {
        info.nMin = 0;
        info.nMax = 0;
        info.nPage = 0;
        info.nPos = 0;
        SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
        EnableScrollBar(hwnd(), SB_VERT, ESB_DISABLE_BOTH);
    }
}

void ListView::ReleaseItems()
{
    CancelRename();
    loader_.Stop();
    items_.clear();
    ForgetPathKeys();
    cells_.Clear();
    removed_.clear();
    selection_.clear();
    anchorId_ = -1;
    hoverId_ = -1;
    dragPreparedId_ = -1;
    focusId_ = -1;
    focusIndex_ = -1;
    announcedSelection_.clear();
    announcedStatus_.clear();
}

void ListView::Clear()
{
    CommitRename();
    ForgetRemoval();
    ReleaseItems();
    UpdateScrollBar();
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

void ListView::RemoveItem(int32_t id, Removal how)
{
    const int index = IndexOf(id);
    if (index < 0)
        return;
    CommitRename();
    const int kept = scrollPos_;
    DropFromSelection(id);
    TakeOut({index}, how);
    CheckAnchor();
    ItemRemoved(id);
    UpdateScrollBar();
    Arrange();
    ScrollTo(kept);
    RepaintContent();
    SendMouseMoveAtCursor();
    if (how == Removal::Undoable)
        RemovalUndoable(UndoableCount());
}

void ListView::RemoveSelected()
{
    CommitRename();
    const int kept = scrollPos_;
    std::vector<int> indices;
    for (size_t i = 0; i < items_.size(); ++i)
        if (std::find(selection_.begin(), selection_.end(), items_[i]->Id()) != selection_.end())
            indices.push_back(static_cast<int>(i));
    TakeOut(indices, Removal::Undoable);
    selection_.clear();
    anchorId_ = -1;
    // The focus goes to the item after the first one removed (the new last one at the end).
    const int32_t focusBefore = focusId_;
    if (!indices.empty() && !items_.empty()) {
        focusIndex_ = std::min(indices.front(), Count() - 1);
        focusId_ = items_[focusIndex_]->Id();
    }
    ItemRemoved(0);
    if (focusId_ != focusBefore && FindById(focusId_) && hwnd() && GetFocus() == hwnd())
        AnnounceItem(EVENT_OBJECT_FOCUS, focusId_);
    UpdateScrollBar();
    Arrange();
    ScrollTo(kept);
    RepaintContent();
    SendMouseMoveAtCursor();
    if (!indices.empty())
        RemovalUndoable(UndoableCount());
}

void ListView::TakeOut(const std::vector<int>& indices, Removal how)
{
    if (indices.empty())
        return;
    if (how == Removal::Undoable)
        removed_.clear();  // only the last removal comes back
    for (auto at = indices.rbegin(); at != indices.rend(); ++at) {
        std::unique_ptr<ListViewItem> item = std::move(items_[*at]);
        items_.erase(items_.begin() + *at);
        cells_.Forget(item->Id());
        if (pathKeysKnown_ && item->Record()) {
            const auto counted = pathKeys_.find(item->PathKey());
            if (counted != pathKeys_.end() && --counted->second <= 0)
                pathKeys_.erase(counted);
        }
        if (item->Id() == hoverId_) {
            item->OnLeave();
            hoverId_ = -1;
        }
        if (item->Id() == dragPreparedId_)
            dragPreparedId_ = -1;
        if (how == Removal::Undoable)
            removed_.insert(removed_.begin(), RemovedItem{*at, std::move(item)});
    }
}

bool ListView::UndoRemoval()
{
    if (removed_.empty() || IsUploading())
        return false;
    CommitRename();
    ForgetPathKeys();  // the items come back: counted again on the next look-up
    std::vector<RemovedItem> back = std::move(removed_);
    removed_.clear();
    ClearSelection();
    bool thumbnailsMissing = false;
    // In ascending order every item lands on its old place again.
    for (RemovedItem& entry : back) {
        ListViewItem& item = *entry.item;
        const auto record = item.Record();
        thumbnailsMissing = thumbnailsMissing || (record && record->thumbnailState() ==
                                                                ImageData::ThumbnailState::Pending);
        const int at = std::clamp(entry.index, 0, Count());
        items_.insert(items_.begin() + at, std::move(entry.item));
        item.Select(POINT{0, 0});
        selection_.push_back(item.Id());
    }
    const int32_t first = selection_.front();
    const int count = static_cast<int>(back.size());
    const int kept = scrollPos_;
    UpdateScrollBar();
    Arrange();
    ScrollTo(kept);
    SetFocusItem(first);
    RepaintContent();
    SendMouseMoveAtCursor();
    if (hwnd())
        NotifyWinEvent(EVENT_OBJECT_REORDER, hwnd(), OBJID_CLIENT, CHILDID_SELF);
    if (thumbnailsMissing)
        StartThumbnailLoading();
    RemovalUndone(count);
    SelectionChanged(0);
    return true;
}

void ListView::ForgetRemoval()
{
    if (removed_.empty())
        return;
    removed_.clear();
    RemovalUndone(0);
}

void ListView::PostRemoveItem(int32_t id, Removal how)
{
    tasks_.Post([this, id, how] { RemoveItem(id, how); });
}

void ListView::SelectAll(bool select)
{
    if (!select) {
        ClearSelection();
        AnnounceSelection();
        return;
    }
    selection_.clear();
    for (const auto& item : items_) {
        item->SelectForAll();
        selection_.push_back(item->Id());
    }
    AnnounceSelection();
}

void ListView::SetAllChecked(int checked)
{
    for (const auto& item : items_)
        item->SetChecked(checked);
}

namespace {

// Orders items by a key read once per item (reading one may take a record's lock), the item
// id breaking ties so that equal keys keep a stable order.
template <typename Key, typename KeyOf, typename Compare = std::less<Key>>
void SortByKey(std::vector<std::unique_ptr<ListViewItem>>& items, KeyOf keyOf, Compare before = {})
{
    std::vector<std::pair<Key, std::unique_ptr<ListViewItem>>> keyed;
    keyed.reserve(items.size());
    for (auto& item : items) {
        Key key = keyOf(*item);
        keyed.emplace_back(std::move(key), std::move(item));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&before](const auto& a, const auto& b) {
        if (before(a.first, b.first))
            return true;
        if (before(b.first, a.first))
            return false;
        return a.second->Id() < b.second->Id();
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        items[i] = std::move(keyed[i].second);
}

}  // namespace

void ListView::Sort(SortMode mode)
{
    CommitRename();
    switch (mode) {
    case SortMode::ByRemark:
        // Names order as the shell orders them: case ignored, digit runs by their value.
        SortByKey<std::wstring>(
            items_,
            [](const ListViewItem& item) {
                const auto record = item.Record();
                return record ? record->remark() : std::wstring();
            },
            [](const std::wstring& a, const std::wstring& b) { return StrCmpLogicalW(a.c_str(), b.c_str()) < 0; });
        break;
    case SortMode::ByCreated:
    case SortMode::ByDateTaken:
        SortByKey<int64_t>(items_, [mode](const ListViewItem& item) -> int64_t {
            const auto& dates = item.Dates();
            return !dates ? 0 : mode == SortMode::ByCreated ? dates->created() : dates->taken();
        });
        break;
    default:
        std::stable_sort(items_.begin(), items_.end(),
                         [](const auto& a, const auto& b) { return a->Id() < b->Id(); });
        break;
    }
    Arrange();
    UpdateScrollBar();
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

void ListView::MoveItem(int32_t draggedId, int32_t targetId)
{
    if (draggedId == targetId || items_.size() < 2)
        return;
    const int from = IndexOf(draggedId);
    if (from < 0 || IndexOf(targetId) < 0)
        return;
    CommitRename();
    std::unique_ptr<ListViewItem> dragged = std::move(items_[from]);
    items_.erase(items_.begin() + from);
    const int to = IndexOf(targetId);
    items_.insert(items_.begin() + to, std::move(dragged));
    Arrange();
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
    OrderChangedByHand();
}

ListViewItem* ListView::FindById(int32_t id) const
{
    if (id < 0)
        return nullptr;
    for (const auto& item : items_)
        if (item->Id() == id)
            return item.get();
    return nullptr;
}

int ListView::IndexOf(int32_t id) const
{
    if (id < 0)
        return -1;
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Id() == id)
            return static_cast<int>(i);
    return -1;
}

ListViewItem* ListView::ItemAt(POINT point) const
{
    for (const auto& item : items_) {
        const RECT cell = item->GetRect();
        if (PtInRect(&cell, point))
            return item.get();
    }
    return nullptr;
}

bool ListView::ContainsPath(const std::wstring& path) const { return ContainsPathKey(FilePathKey(path)); }

bool ListView::ContainsFile(const ListViewItem& other) const
{
    return other.Record() && ContainsPathKey(other.PathKey());
}

bool ListView::ContainsPathKey(const std::wstring& key) const
{
    if (!pathKeysKnown_) {
        pathKeys_.clear();
        for (const auto& item : items_)
            if (item->Record())
                ++pathKeys_[item->PathKey()];
        pathKeysKnown_ = true;
    }
    return pathKeys_.find(key) != pathKeys_.end();
}

void ListView::RecordChanged() { ForgetPathKeys(); }

int ListView::CheckedCount() const
{
    return static_cast<int>(std::count_if(items_.begin(), items_.end(), [](const auto& i) { return i->Checked() != 0; }));
}

std::vector<ListViewItem*> ListView::CheckedItems(int n) const
{
    std::vector<ListViewItem*> checked;
    for (const auto& item : items_) {
        if (static_cast<int>(checked.size()) >= n)
            break;
        if (item->Checked())
            checked.push_back(item.get());
    }
    return checked;
}

int64_t ListView::CheckedSize() const
{
    int64_t sum = 0;
    for (const auto& item : items_)
        item->AddSizeIfChecked(sum);
    return sum;
}

int64_t ListView::TotalSize() const
{
    int64_t sum = 0;
    for (const auto& item : items_)
        if (const auto record = item->Record())
            sum += record->fileSize();
    return sum;
}

std::vector<ListViewItem*> ListView::Selection() const
{
    std::vector<ListViewItem*> selected;
    for (int32_t id : selection_)
        if (ListViewItem* item = FindById(id))
            selected.push_back(item);
    return selected;
}

void ListView::AddToSelection(int32_t id)
{
    if (std::find(selection_.begin(), selection_.end(), id) == selection_.end())
        selection_.push_back(id);
}

void ListView::ClearSelection()
{
    for (int32_t id : selection_)
        if (ListViewItem* item = FindById(id))
            item->Deselect();
    selection_.clear();
}

void ListView::DropFromSelection(int32_t id)
{
    selection_.erase(std::remove(selection_.begin(), selection_.end(), id), selection_.end());
}

void ListView::CheckAnchor()
{
    // A Shift range starts only from an item that is still in the list.
    if (!FindById(anchorId_))
        anchorId_ = -1;
}

// ---- renaming ------------------------------------------------------------------------------

void ListView::ShowRenameBox(int32_t id, const RECT& strip, const std::wstring& text)
{
    CommitRename();
    if (!FindById(id))
        return;
    renamingId_ = id;
    renameBox_.Show(strip, text);
}

void ListView::CommitRename()
{
    const int32_t id = std::exchange(renamingId_, -1);
    if (id < 0)
        return;
    if (ListViewItem* item = FindById(id))
        item->CommitRename();
    renameBox_.Hide();
    AnnounceItem(EVENT_OBJECT_NAMECHANGE, id);
}

void ListView::CancelRename()
{
    const int32_t id = std::exchange(renamingId_, -1);
    renameBox_.Hide();
    if (ListViewItem* item = FindById(id))
        item->Invalidate();
}

// ---- thumbnails ----------------------------------------------------------------------------

ThumbnailLoader::Job ListView::JobFor(const ListViewItem& item, int boxWidth, int boxHeight) const
{
    ThumbnailLoader::Job job;
    job.itemId = item.Id();
    job.record = item.Record();
    job.dates = item.Dates();
    job.boxWidth = boxWidth;
    job.boxHeight = boxHeight;
    return job;
}

void ListView::VisibleRange(int& first, int& end) const
{
    geometry_.VisibleRange(Count(), Columns(), scrollPos_, ClientHeight(), first, end);
}

std::vector<ThumbnailLoader::Job> ListView::PendingJobs(bool visibleFirst) const
{
    std::vector<ThumbnailLoader::Job> jobs;
    const auto pending = [](const ListViewItem& item) {
        const auto record = item.Record();
        return record && record->thumbnailState() == ImageData::ThumbnailState::Pending;
    };
    int first = 0, end = 0;
    if (visibleFirst)
        VisibleRange(first, end);
    for (int i = first; i < end; ++i)
        if (pending(*items_[i]))
            jobs.push_back(JobFor(*items_[i], ImageData::kThumbnailBox, ImageData::kThumbnailBox));
    for (int i = 0; i < Count(); ++i)
        if ((i < first || i >= end) && pending(*items_[i]))
            jobs.push_back(JobFor(*items_[i], ImageData::kThumbnailBox, ImageData::kThumbnailBox));
    return jobs;
}

void ListView::CheckForDuplicates()
{
    if (!skipDuplicates_ || !hwnd())
        return;
    std::vector<DuplicateCandidate> known, added;
    for (const auto& item : items_) {
        auto record = item ? item->Record() : nullptr;
        if (!record)
            continue;
        if (duplicateChecked_.insert(item->Id()).second)
            added.push_back({item->Id(), std::move(record)});
        else
            known.push_back({item->Id(), std::move(record)});
    }
    if (!added.empty())
        StartDuplicateCheck(
            tasks_.poster(), [this](const std::vector<int32_t>& found) { OnDuplicatesFound(found); }, std::move(known),
            std::move(added));
}

void ListView::StartThumbnailLoading() { loaderRun_ = loader_.Schedule(PendingJobs(true)); }

void ListView::StopThumbnailLoading() { loader_.Stop(); }

void ListView::RequestThumbnail(const ListViewItem& item, bool first)
{
    const auto record = item.Record();
    if (!record)
        return;
    // Turned or not, a thumbnail fits the record's box, so every cell keeps the same margins.
    ThumbnailLoader::Job job = JobFor(item, ImageData::kThumbnailBox, ImageData::kThumbnailBox);
    if (first)
        loader_.Add(std::move(job));
    else
        loaderRun_ = loader_.Schedule(PendingJobs(true));
}

void ListView::RetryThumbnail(const ListViewItem& item)
{
    // A thumbnail that failed for now (memory short, the file locked) is tried again when
    // its item is shown.
    const auto record = item.Record();
    if (record && record->RetryThumbnail())
        loader_.Add(JobFor(item, ImageData::kThumbnailBox, ImageData::kThumbnailBox));
}

// ---- painting and scrolling ----------------------------------------------------------------

void ListView::RepaintContent()
{
    // The whole client area: cells reach into its right edge at some widths, and a strip
    // left out keeps the frames and captions it showed before.
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

void ListView::OnPaint()
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd(), &paint);
    if (!dc)
        return;
    const RECT& area = paint.rcPaint;
    if (bufferDc_ && buffer_ && area.right > area.left && area.bottom > area.top) {
        const HDC buffer = bufferDc_.get();
        if (keepCells_)
            PaintCells(buffer, area);
        else
            DrawCells(buffer, area);
        PaintFocus(buffer);
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, buffer, area.left, area.top,
               SRCCOPY);
    }
    EndPaint(hwnd(), &paint);
}

void ListView::PaintCells(HDC buffer, const RECT& area)
{
    // White where no cell stands (nothing is drawn over it but copies, so plain GDI does);
    // then each cell that meets the update rectangle, copied from its kept pixels.
    PatBlt(buffer, area.left, area.top, area.right - area.left, area.bottom - area.top, WHITENESS);
    int first = 0, end = 0;
    geometry_.VisibleRange(Count(), Columns(), scrollPos_ + area.top, area.bottom - area.top, first, end);
    for (int i = first; i < end; ++i) {
        RECT cell = items_[i]->GetRect();
        OffsetRect(&cell, 0, -scrollPos_);
        RECT meet{};
        if (IntersectRect(&meet, &cell, &area)) {
            cells_.Paint(buffer, *items_[i], cell, area);
            RetryThumbnail(*items_[i]);
        }
    }
}

void ListView::DrawCells(HDC buffer, const RECT& area)
{
    // Only what needs painting: the update rectangle, and the items that meet it.
    Gdiplus::Graphics graphics(buffer);
    graphics.SetClip(Gdiplus::Rect(area.left, area.top, area.right - area.left, area.bottom - area.top));
    CellCache::Prepare(graphics);
    const Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
    graphics.FillRectangle(&white, Gdiplus::Rect(area.left, area.top, area.right - area.left, area.bottom - area.top));
    int first = 0, end = 0;
    geometry_.VisibleRange(Count(), Columns(), scrollPos_ + area.top, area.bottom - area.top, first, end);
    for (int i = first; i < end; ++i) {
        RECT cell = items_[i]->GetRect();
        OffsetRect(&cell, 0, -scrollPos_);
        RECT meet{};
        if (IntersectRect(&meet, &cell, &area)) {
            items_[i]->PaintScrolled(graphics, scrollPos_);
            RetryThumbnail(*items_[i]);
        }
    }
}

void ListView::SetCellCache(bool keep)
{
    keepCells_ = keep;
    if (!keep)
        cells_.Clear();
    RepaintContent();
}

void ListView::ScrollTo(int position)
{
    const int clamped = std::clamp(position, 0, MaxScroll());
    if (clamped == scrollPos_)
        return;
    CommitRename();
    scrollPos_ = clamped;
    AfterScroll();
}

void ListView::AfterScroll()
{
    if (!hwnd())
        return;
    SetScrollPos(hwnd(), SB_VERT, scrollPos_, TRUE);
    RepaintContent();
    // What the user now sees gets its thumbnails first.
    int first = 0, end = 0;
    VisibleRange(first, end);
    std::vector<int32_t> ids;
    for (int i = first; i < end; ++i)
        ids.push_back(items_[i]->Id());
    loader_.Prioritize(ids);
}

bool ListView::OnWheel(int delta)
{
    // Whole rows a notch; a finer wheel's small steps add up to notches.
    wheelRemainder_ += delta;
    const int notches = wheelRemainder_ / WHEEL_DELTA;
    if (notches == 0)
        return true;
    wheelRemainder_ -= notches * WHEEL_DELTA;
    UINT lines = 3;
    if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    const int rows = geometry_.WheelRows(lines, ClientHeight());
    ScrollTo(scrollPos_ - notches * rows * geometry_.RowStep());
    return true;
}

void ListView::OnVScroll(int request, int trackPosition)
{
    switch (request) {
    case SB_LINEUP:
        ScrollTo(scrollPos_ - geometry_.RowStep());
        break;
    case SB_LINEDOWN:
        ScrollTo(scrollPos_ + geometry_.RowStep());
        break;
    case SB_PAGEUP:
        ScrollTo(scrollPos_ - ClientHeight());
        break;
    case SB_PAGEDOWN:
        ScrollTo(scrollPos_ + ClientHeight());
        break;
    case SB_TOP:
        ScrollTo(0);
        break;
    case SB_BOTTOM:
        ScrollTo(MaxScroll());
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        // The 32-bit position, not the message's 16 bits.
        SCROLLINFO info{sizeof(info), SIF_TRACKPOS};
        const int position = GetScrollInfo(hwnd(), SB_VERT, &info) ? info.nTrackPos : trackPosition;
        ScrollTo(position);
        break;
    }
    default:
        break;
    }
}

void ListView::RepaintProgress(int32_t id)
{
    if (ListViewItem* item = FindById(id))
        item->OnUploadProgress();
}

// ---- mouse and keyboard --------------------------------------------------------------------

void ListView::SendMouseMoveAtCursor()
{
    if (!hwnd())
        return;
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(hwnd(), &cursor);
    SendMessageW(hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x, cursor.y));
}

bool ListView::RenamesAt(POINT client) const
{
    const POINT point{client.x, client.y + scrollPos_};
    const ListViewItem* item = ItemAt(point);
    return item && item->RenamesAt(point);
}

void ListView::UpdateTip(POINT client)
{
    // Over a caption a click renames, the tip says so.
    std::wstring text = RenamesAt(client) ? UI::Text(TextLanguage(), UI::TextId::ClickToRename) : L"";
    if (tip_ && !text.empty()) {
        // The tip sees the pointer only there: elsewhere it stays out of the list's messages.
        MSG relay{hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y), GetMessageTime(), {}};
        GetCursorPos(&relay.pt);
        SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
    }
    if (text == tipText_)
        return;
    tipText_ = std::move(text);
    if (!tip_)
        return;
    if (tipText_.empty())
        SendMessageW(tip_, TTM_POP, 0, 0);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd());
    tool.lpszText = tipText_.data();
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ListView::OnMouseMoveMessage(WPARAM keys, POINT client)
{
    UpdateTip(client);
    if (dragPreparedId_ >= 0) {
        const int32_t id = std::exchange(dragPreparedId_, -1);
        if (keys & MK_LBUTTON) {
            OnItemDragRun(id);
            return;
        }
    }
    if (items_.empty())
        return;
    const POINT point{client.x, client.y + scrollPos_};
    ListViewItem* item = ItemAt(point);
    if (hoverId_ >= 0) {
        if (item && item->Id() == hoverId_) {
            item->OnHover(point);
            return;
        }
        if (ListViewItem* previous = FindById(hoverId_))
            previous->OnLeave();
        hoverId_ = -1;
    }
    if (item) {
        item->OnHover(point);
        hoverId_ = item->Id();
    }
    if (!hoverTracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
        hoverTracking_ = TrackMouseEvent(&track) != FALSE;
    }
}

void ListView::OnMouseLeaveMessage()
{
    if (ListViewItem* item = FindById(hoverId_))
        item->OnLeave();
    hoverId_ = -1;
    hoverTracking_ = false;
}

void ListView::OnButtonDown(WPARAM keys, POINT client)
{
    SetFocus(hwnd());
    const POINT point{client.x, client.y + scrollPos_};
    ListViewItem* item = ItemAt(point);
    if (item) {
        SetFocusItem(item->Id());
        if (keys & MK_SHIFT) {
            ShiftSelect(*item);
            return;
        }
        if (keys & MK_CONTROL) {
            CtrlSelect(*item);
            return;
        }
        ClearSelection();
        anchorId_ = -1;
        item->OnMouseDown(point);
        if (!item->HitButtons(point) && interactive_ && !IsUploading()) {
            dragPreparedId_ = item->Id();
            OnItemDragPrepared(dragPreparedId_);
        }
    } else {
        ClearSelection();
    }
    SelectionChanged(0);
}

void ListView::ShiftSelect(ListViewItem& item)
{
    if (IsUploading())
        return;
    CheckAnchor();
    if (anchorId_ < 0) {
        item.Select(POINT{0, 0});
        AddToSelection(item.Id());
        SelectionChanged(0);
        return;
    }
    ClearSelection();
    const int a = IndexOf(anchorId_);
    const int b = IndexOf(item.Id());
    for (int i = std::min(a, b); i <= std::max(a, b); ++i) {
        items_[i]->Select(POINT{0, 0});
        selection_.push_back(items_[i]->Id());
    }
    SelectionChanged(0);
}

void ListView::CtrlSelect(ListViewItem& item)
{
    if (IsUploading())
        return;
    const auto found = std::find(selection_.begin(), selection_.end(), item.Id());
    if (found == selection_.end()) {
        item.Select(POINT{0, 0});
        selection_.push_back(item.Id());
    } else {
        item.Deselect();
        selection_.erase(found);
    }
    SelectionChanged(0);
}

void ListView::OnButtonUp(POINT client)
{
    dragPreparedId_ = -1;
    const POINT point{client.x, client.y + scrollPos_};
    if (renamingId_ >= 0) {
        // A click elsewhere ends the rename; a click on the box itself never gets here.
        CommitRename();
    }
    if (ListViewItem* item = ItemAt(point))
        item->OnClick(point);
}

void ListView::OnDoubleClick(POINT client)
{
    const POINT point{client.x, client.y + scrollPos_};
    ListViewItem* item = ItemAt(point);
    if (!item || item->HitButtons(point))
        return;
    // One signal for one gesture: the owner decides what a double click opens.
    ItemDoubleClicked(item);
}

bool ListView::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    result = 0;
    if (tasks_.HandleMessage(hwnd(), msg))
        return true;
    switch (msg) {
    case WM_DESTROY:
        additionsWaiting_ = false;  // the queued showing waits for the next window, where it finds nothing to do
        access_->Disconnect();
        dropTarget_.RevokeDropTarget();
        drager_.Cancel();
        CommitRename();
        dragPreparedId_ = -1;
        hoverId_ = -1;
        // Thumbnails go on into the records; what they report waits for the next window.
        tasks_.SetWindow(nullptr);
        if (bufferDc_ && previousBitmap_)
            SelectObject(bufferDc_.get(), previousBitmap_);
        previousBitmap_ = nullptr;
        buffer_.reset();
        bufferDc_.reset();
        cells_.Clear();
        return false;
    case WM_SIZE:
        Arrange();
        return true;
    case WM_KEYDOWN:
        // Every key acts on the press (some containers keep the release).
        OnKeyDown(wParam);
        return true;
    case WM_KEYUP:
        return true;
    case WM_GETDLGCODE:
        result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        OnFocusMessage();
        return false;
    case WM_GETOBJECT:
        return access_->Answer(wParam, lParam, result);
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
        return true;
    case WM_MOUSEWHEEL:
        OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return true;
    case WM_MOUSEMOVE:
        OnMouseMoveMessage(wParam, point);
        return true;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd()) {
            POINT cursor{};
            GetCursorPos(&cursor);
            ScreenToClient(hwnd(), &cursor);
            if (RenamesAt(cursor)) {
                SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
                result = TRUE;
                return true;
            }
        }
        return false;
    case WM_MOUSELEAVE:
        OnMouseLeaveMessage();
        return true;
    case WM_LBUTTONDOWN:
        OnButtonDown(wParam, point);
        return true;
    case WM_LBUTTONUP:
        OnButtonUp(point);
        return true;
    case WM_LBUTTONDBLCLK:
        OnDoubleClick(point);
        return true;
    default:
        return false;
    }
}

void ListView::OnDuplicatesFound(const std::vector<int32_t>& itemIds)
{
    int skipped = 0;
    for (const int32_t id : itemIds) {
        const ListViewItem* item = FindById(id);
        const auto record = item ? item->Record() : nullptr;
        // A file already taken by an upload stays: the task reports on it.
        if (!record || record->UploadState().phase != UploadPhase::None)
            continue;
        RemoveItem(id);
        ++skipped;
    }
    if (skipped > 0)
        DuplicatesSkipped(skipped);
}

void ListView::OnThumbnailShown(int32_t itemId)
{
    ListViewItem* item = FindById(itemId);
    if (!item)
        return;
    // The picture decoded: only now may the editor open on it.
    const auto record = item->Record();
    item->editReady = record && record->thumbnailState() == ImageData::ThumbnailState::Ready;
    item->Invalidate();
    ThumbnailShown(itemId);
}

void ListView::OnThumbnailsDone(uint32_t run)
{
    if (run == loaderRun_)
        ThumbnailsLoaded();
}

}  // namespace Vantor
