#pragma once
// The owner-drawn, vertically scrolling grid of picture items: the upload list of the main
// panel and the picker of the add-images dialog. The list knows its items only as
// ListViewItem: whoever makes a list gives it the factory of its kind of item (the upload
// list's ListViewPostItem::Make), which AddFiles and MakeItem use.
//
// The list is a window of its own and, for anchored layout inside a form, a ControlBase child.
// It lays items out (ListGeometry), paints the visible band through a back buffer, tracks hover
// and selection (plain, Ctrl, Shift, Ctrl+A), removes, sorts, moves and renames items, and
// announces what happened through its signals, all on the window thread.
//
// The items, their selection and their records belong to the list, not to its window: a
// list whose window is destroyed keeps them, and its next window shows them.
//
// Thumbnails are made by the list's ThumbnailLoader on other threads; results come back by
// item id as work on the list's window thread (WindowTasks), so an item may be removed at any
// time. Work posted while the list has no window runs in its next one. Any change of the
// items ends a rename first (committed).
#include <boost/signals2/signal.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "image/PictureKinds.h"
#include "picker/CellCache.h"
#include "picker/CombinBitmap.h"
#include "picker/ItemDragData.h"
#include "picker/ListDropTarget.h"
#include "picker/ListGeometry.h"
#include "picker/ListViewItem.h"
#include "picker/RenameBox.h"
#include "picker/ThumbnailLoader.h"
#include "platform/Handles.h"
#include "platform/OleDrager.h"
#include "platform/Window.h"
#include "ui/ControlBase.h"

namespace Vantor {

class ListAccess;

// What an addition of files may take. 0 (or less) means no limit.
struct AddLimits {
    int32_t filesLimit = 0;     // most items the list may hold
    int64_t fileSizeLimit = 0;  // bytes per file
    int32_t pickLimit = 0;      // most pictures taken from one pick of the add-images dialog
    PictureKinds kinds;         // the files taken, by extension
};

struct AddResult {
    int added = 0;
    int leftOut = 0;  // acceptable files not added because the files limit was reached
    int otherKind = 0;  // files refused because their extension is not one of the kinds taken
};

// The extensions the list takes by default: every kind the control decodes, in any case.
bool IsAcceptedImageExtension(const std::wstring& path);

// Whether a removal can be undone: the user's own (the Delete key, the delete tool, an item's
// own button) can; what an upload or the duplicate check takes out cannot.
enum class Removal { Final, Undoable };

enum class SortMode : int { ById = 0, ByRemark = 1, ByCreated = 2, ByDateTaken = 3 };

class ListView : public Win::Window, public ControlBase {
public:
    boost::signals2::signal<void()> FilesDropped;
    boost::signals2::signal<void(int)> SelectionChanged;
    boost::signals2::signal<void(int)> ItemRemoved;
    // A double click on an item outside its buttons (and nothing else).
    boost::signals2::signal<void(ListViewItem*)> ItemDoubleClicked;
    boost::signals2::signal<void()> ThumbnailsLoaded;  // on the window thread
    // An item's thumbnail (or its stand-in preview) arrived and the item was repainted.
    boost::signals2::signal<void(int32_t itemId)> ThumbnailShown;
    boost::signals2::signal<void(int32_t)> EditRequested;
    // An item's own preview button.
    boost::signals2::signal<void(int32_t)> PreviewRequested;
    // An item was moved by hand (MoveItem): the list is in no sort's order any more.
    boost::signals2::signal<void()> OrderChangedByHand;
    // The user removed items (count): UndoRemoval can bring them back until the next change.
    boost::signals2::signal<void(int count)> RemovalUndoable;
    // UndoRemoval put that many items back; or 0: the last removal can no longer be undone.
    boost::signals2::signal<void(int count)> RemovalUndone;
    // Once per addition that had to leave acceptable files out (the files limit).
    boost::signals2::signal<void(int leftOut)> AddLimitReached;
    // Fired by AddFiles with the number of files it refused for their kind (their extension).
    boost::signals2::signal<void(int refused)> OtherKindsRefused;
    // Once per addition whose pictures included some the list already held under another
    // path: they were taken out again (SetSkipDuplicates).
    boost::signals2::signal<void(int skipped)> DuplicatesSkipped;

    // Makes this list's item for a file's record.
    using ItemFactory = std::function<std::unique_ptr<ListViewItem>(std::shared_ptr<ImageData> record)>;

    // Without a factory the list makes plain ListViewItems.
    explicit ListView(ItemFactory makeItem = {});
    ~ListView() override;

    // --- creation and placement (window thread) ---
    // A visible child window at that place (the add-images dialog).
    HWND Create(HWND parent, int x, int y, int width, int height);
    // A child of a control tree: the window is made hidden in the parent's window and placed
    // by Layout (the main panel). Called again after the parent's window was made again, it
    // makes a new window over the same items (attached once; nothing when the parent has no
    // window or the list has one).
    void Create(ControlBase* parent);
    // Before Create: whether the window takes OLE drops (files from the shell, its own items
    // moved). The add-images dialog's picker takes none.
    void SetAcceptsDrops(bool accepts) { acceptsDrops_ = accepts; }
    void SetItemWidth(int width) { geometry_.itemWidth = width; }
    void SetItemHeight(int height) { geometry_.itemHeight = height; }
    void SetInteractive(bool interactive);
    bool IsInteractive() const { return interactive_; }
    // While an upload runs, items show their progress and ignore presses; sorting is refused.
    // The list does not keep that state: it asks whoever owns the upload (none: never), and
    // is told by UploadingChanged when the answer changes.
    void FollowUploading(std::function<bool()> uploading) { uploading_ = std::move(uploading); }
    void UploadingChanged();
    bool IsUploading() const { return uploading_ && uploading_(); }
    void SetAddLimits(const AddLimits& limits) { limits_ = limits; }
    const AddLimits& GetAddLimits() const { return limits_; }

    // ControlBase
    void SetVisible(int flag) override;
    void Paint(UI::CPaintEventArgs& e) override {}  // the window paints itself
    void OnLButtonDown(UI::CMouseEventArgs& e) override {}
    void OnLButtonUp(UI::CMouseEventArgs& e) override {}
    void OnMouseMove(UI::CMouseEventArgs& e) override {}
    void OnMouseLeave() override {}
    void Layout() override;
    void ReleaseView() override;

    // --- content (window thread) ---
    // Takes the item; gives it its id. No layout, no repaint.
    ListViewItem* AddItem(std::unique_ptr<ListViewItem> item);
    // An item of this list's kind for the record, not added yet.
    std::unique_ptr<ListViewItem> MakeItem(std::shared_ptr<ImageData> record) const;
    // Adds upload items for the acceptable files among the paths (no roots, no folders, no
    // file over the size limit, no file already in the list under any spelling; the files
    // limit is tested before each addition), each under its full path (FullFilePath),
    // arranges, fires FilesDropped and starts the thumbnails.
    AddResult AddFiles(const std::vector<std::wstring>& paths);  // with SetAddLimits' limits
    AddResult AddFiles(const std::vector<std::wstring>& paths, const AddLimits& limits);
    // The same additions for a caller that adds one file after another (the page's "addFile"):
    // the items are made and placed now, and what follows an addition (the scroll bar, the
    // repaint, the thumbnails, the duplicate check, FilesDropped) runs once for the whole
    // burst, when the window's queue reaches the message posted by the first of them. A file
    // refused costs only its checks. Without a window, as AddFiles.
    AddResult AddFilesSoon(const std::vector<std::wstring>& paths, const AddLimits& limits);
    // Runs now what additions by AddFilesSoon still wait for (nothing when none do).
    void ShowAdditions();
    void Arrange();
    void UpdateScrollBar();
    void Clear();
    void ReleaseItems();
    void RemoveItem(int32_t id, Removal how = Removal::Final);
    // The user's removal of the selection: it can be undone.
    void RemoveSelected();
    // The removal runs after the current message (an item's own button).
    void PostRemoveItem(int32_t id, Removal how = Removal::Final);
    // --- undoing the last removal ---
    // The items of the user's last removal are kept, with their records (names, turns, edits),
    // until it is undone, the user removes again, files are added, an upload starts or the
    // list is cleared.
    int UndoableCount() const { return static_cast<int>(removed_.size()); }
    // Puts the last removal's items back where they were, selected, the first one focused and
    // in view; false when there is nothing to undo or an upload runs.
    bool UndoRemoval();
    void ForgetRemoval();
    void SelectAll(bool select);
    void SetAllChecked(int checked);
    void Sort(SortMode mode);
    void Sort(int mode) { Sort(static_cast<SortMode>(mode)); }
    void MoveItem(int32_t draggedId, int32_t targetId);

    ListViewItem* FindById(int32_t id) const;
    int IndexOf(int32_t id) const;
    ListViewItem* ItemAt(POINT contentPoint) const;
    // Whether a click at the point of the client area would start a rename: the pointer is a
    // text cursor there, and the list's tooltip says so.
    bool RenamesAt(POINT client) const;
    // What the list's tooltip says now ("" while it has nothing to say).
    std::wstring TipText() const { return tipText_; }
    // An item holds the file, under whatever spelling of its path (FilePathKey).
    bool ContainsPath(const std::wstring& path) const;
    bool ContainsFile(const ListViewItem& item) const;
    // An item's record was replaced (ListViewItem::SetRecord): its path may differ now.
    void RecordChanged();
    int Count() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }
    int CheckedCount() const;
    std::vector<ListViewItem*> CheckedItems(int n) const;
    int64_t CheckedSize() const;
    int64_t TotalSize() const;
    const std::vector<std::unique_ptr<ListViewItem>>& Items() const { return items_; }
    // The selected items in the order they were selected.
    std::vector<ListViewItem*> Selection() const;
    const std::vector<int32_t>& SelectionIds() const { return selection_; }
    int32_t AnchorId() const { return anchorId_; }
    int32_t HoverId() const { return hoverId_; }

    // Selection steps the items use.
    void AddToSelection(int32_t id);
    void SetSelectionAnchor(int32_t id) { anchorId_ = id; }

    // --- renaming ---
    // Opens the rename box over `strip` (client coordinates) for the item.
    void ShowRenameBox(int32_t id, const RECT& strip, const std::wstring& text);
    std::wstring RenameText() const { return renameBox_.Text(); }
    int32_t RenamingId() const { return renamingId_; }
    // Ends a rename, keeping the text (nothing when no rename is open). The panel calls it
    // before an upload starts.
    void CommitRename();
    void CancelRename();

    // --- pictures added twice ---
    // Whether a picture already in the list under another path is taken out again when added.
    void SetSkipDuplicates(bool skip) { skipDuplicates_ = skip; }
    // Compares the items added since the last check with the others, off the window thread;
    // those that duplicate one are removed when the answer comes (not while they upload).
    void CheckForDuplicates();

    // --- thumbnails ---
    // Makes the thumbnails still missing, visible items first. Records that exist are kept.
    void StartThumbnailLoading();
    void StopThumbnailLoading();
    bool IsLoadingThumbnails() const { return loader_.IsRunning(); }
    // Asks for the item's thumbnail (again), first when `first` (a turn).
    void RequestThumbnail(const ListViewItem& item, bool first);
    // Asks again for a thumbnail that failed for now (painting an item calls it).
    void RetryThumbnail(const ListViewItem& item);

    // --- what the items read ---
    int ClientHeight() const { return client_.bottom - client_.top; }
    int ScrollPos() const { return scrollPos_; }
    int MaxScroll() const;
    void ScrollTo(int position);
    COLORREF SelectionColour() const { return selectionColour_; }
    int FrameWidth() const { return frameWidth_; }
    int FrameHeight() const { return frameHeight_; }
    const ListGeometry& Geometry() const { return geometry_; }
    // Columns for the list's whole width (the scroll bar's strip included, as the grid keeps it free).
    int Columns() const { return geometry_.Columns(width_); }

    // Repaints the progress band of an item (window thread).
    void RepaintProgress(int32_t id);

    // Whether painted cells are kept as pixels and copied while their items look the same
    // (on by default). Off, every paint draws its cells anew: for measuring and comparing.
    void SetCellCache(bool keep);
    bool KeepsCells() const { return keepCells_; }
    const CellCache& Cells() const { return cells_; }

    // --- the keyboard (ListViewKeys.cpp) ---
    // Whether the arrows select the item they move to (the upload list) or only move the
    // focus (the picker, whose selection is its check marks, which Space toggles).
    void SetArrowsSelect(bool select) { arrowsSelect_ = select; }
    // The item with the keyboard focus (drawn with the focus rectangle while the list has
    // the keyboard), or -1.
    int32_t FocusId() const { return focusId_; }
    // Gives the item the keyboard focus (the selection stays) and scrolls it into view.
    void SetFocusItem(int32_t id);
    // Scrolls so that the item's cell is wholly visible (its top, when it is taller).
    void EnsureVisible(int32_t id);
    // WM_KEYDOWN: arrows (Shift extends, Ctrl moves the focus only), Home, End, Page Up,
    // Page Down, Space, Ctrl+A, Delete, F2 (rename), Enter (preview), Ctrl+E (edit), Ctrl+Z
    // (undo the last removal); Tab goes to the parent window. False for the keys the list leaves.
    bool OnKeyDown(WPARAM key);

    // --- assistive technology (ListViewAccessible.cpp) ---
    bool CanTakeFocus() const override;
    HWND KeyboardWindow() const override { return hwnd(); }
    HWND OwnAccessibleWindow() const override { return hwnd(); }
    UI::AccessibleInfo Describe() const override;
    // The item's child id in the list's accessible object (its place plus one); 0 for none.
    long ItemChildId(int32_t id) const;
    // The item's upload state changed: assistive technology hears when its words did.
    void AnnounceStatus(int32_t id);

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* ClassName() const override { return L"Vantor.ListView"; }
    UINT ClassStyle() const override { return CS_DBLCLKS; }

    // Item dragging: a plain press on an item outside its buttons, while interactive, prepares
    // an OLE drag of that item (copy only, data tagged with this list); the next move with the
    // button down runs it, and the list's own drop target moves the item where it lands.
    virtual void OnItemDragPrepared(int32_t id);
    virtual void OnItemDragRun(int32_t id);

private:
    void CreateParts();
    // Removes the items at the indices (ascending); kept for undoing when `how` says so.
    void TakeOut(const std::vector<int>& indices, Removal how);
    void ResizeBuffer();
    void OnPaint();
    void OnMouseMoveMessage(WPARAM keys, POINT client);
    void OnMouseLeaveMessage();
    void OnButtonDown(WPARAM keys, POINT client);
    void OnButtonUp(POINT client);
    void OnDoubleClick(POINT client);
    void MoveFocusByKey(int target, bool extend, bool focusOnly);
    void FocusAfterRemoval();
    void OnFocusMessage();
    void PaintFocus(HDC dc) const;
    RECT FocusRect(const ListViewItem& item) const;
    void AnnounceSelection();
    void AnnounceItem(DWORD event, int32_t id) const;
    bool OnWheel(int delta);
    void OnVScroll(int request, int trackPosition);
    void ShiftSelect(ListViewItem& item);
    void CtrlSelect(ListViewItem& item);
    void ClearSelection();
    void DropFromSelection(int32_t id);
    void CheckAnchor();
    void AfterScroll();
    void RepaintContent();
    void SendMouseMoveAtCursor();
    void UpdateTip(POINT client);
    std::vector<ThumbnailLoader::Job> PendingJobs(bool visibleFirst) const;
    // The loader's and the duplicate check's findings, on the window thread.
    void OnThumbnailShown(int32_t itemId);
    void OnThumbnailsDone(uint32_t run);
    void OnDuplicatesFound(const std::vector<int32_t>& itemIds);
    ThumbnailLoader::Job JobFor(const ListViewItem& item, int boxWidth, int boxHeight) const;
    void VisibleRange(int& first, int& end) const;
    AddResult TakeFiles(const std::vector<std::wstring>& paths, const AddLimits& limits);
    void AfterAdditions(bool added);
    void ForgetPathKeys()
    {
        pathKeysKnown_ = false;
        pathKeys_.clear();
    }
    bool ContainsPathKey(const std::wstring& key) const;
    void PaintCells(HDC buffer, const RECT& area);
    void DrawCells(HDC buffer, const RECT& area);

    // The items' icons stay while the list does, whatever other list of the process goes.
    const std::shared_ptr<const CombinBitmap> icons_ = CombinBitmap::Acquire();
    const ItemFactory makeItem_;
    ListGeometry geometry_;
    bool hoverTracking_ = false;
    bool interactive_ = true;
    bool acceptsDrops_ = true;
    std::function<bool()> uploading_;
    int32_t anchorId_ = -1;
    int32_t hoverId_ = -1;
    HWND tip_ = nullptr;  // an owned window: it goes with the list's
    std::wstring tipText_;
    int frameWidth_ = 148;
    int frameHeight_ = 120;
    int32_t nextId_ = 0;
    COLORREF selectionColour_ = RGB(84, 180, 233);
    std::vector<std::unique_ptr<ListViewItem>> items_;
    // The items' path keys, counted, for ContainsPath; made again on first use after a removal
    // or a change of record.
    mutable std::unordered_map<std::wstring, int> pathKeys_;
    mutable bool pathKeysKnown_ = false;
    bool additionsWaiting_ = false;  // AddFilesSoon queued the showing of its additions
    bool additionsAdded_ = false;    // and the waiting additions include an item
    std::vector<int32_t> selection_;
    struct RemovedItem {
        int index;  // where it was
        std::unique_ptr<ListViewItem> item;
    };
    std::vector<RemovedItem> removed_;  // the last undoable removal, by ascending index
    int32_t renamingId_ = -1;
    RECT client_{};
    int width_ = 0;  // of the window, scroll bar included
    int scrollPos_ = 0;
    int wheelRemainder_ = 0;  // wheel movement short of a notch
    AddLimits limits_;
    int32_t dragPreparedId_ = -1;
    int32_t focusId_ = -1;
    int focusIndex_ = -1;  // where the focused item was, for when it goes
    bool arrowsSelect_ = true;
    std::vector<int32_t> announcedSelection_;  // as assistive technology last heard it
    std::unordered_map<int32_t, std::wstring> announcedStatus_;
    std::unique_ptr<ListAccess> access_;

    // The back buffer: a DIB section selected into a memory DC.
    UniqueMemoryDC bufferDc_;
    GdiObject<HBITMAP> buffer_;
    HGDIOBJ previousBitmap_ = nullptr;
    SIZE bufferSize_{};
    CellCache cells_;
    bool keepCells_ = true;

    RenameBox renameBox_;
    // Work for the window thread (before the loader and the checks that post to it).
    WindowTasks tasks_;
    ThumbnailLoader loader_;
    bool skipDuplicates_ = false;
    std::unordered_set<int32_t> duplicateChecked_;  // items already compared with the others
    uint32_t loaderRun_ = 0;

    // Drops onto the list and drags of its items (registered with the window, revoked on
    // WM_DESTROY).
    const uint32_t dragCookie_ = NewListCookie();
    ListDropTarget dropTarget_{*this, dragCookie_};
    OleDrager drager_;
};

}  // namespace Vantor
