// The list's keyboard: the focused item, its rectangle, and what each key does.
#include "picker/ListView.h"

#include <oleacc.h>

#include <algorithm>

#include "platform/Handles.h"

namespace Vantor {
namespace {

bool Held(int key) { return GetKeyState(key) < 0; }

}  // namespace

void ListView::SetFocusItem(int32_t id)
{
    const ListViewItem* const item = FindById(id);
    if (!item)
        return;
    if (const ListViewItem* before = FindById(focusId_); before && hwnd()) {
        const RECT old = FocusRect(*before);
        InvalidateRect(hwnd(), &old, FALSE);
    }
    focusId_ = id;
    focusIndex_ = IndexOf(id);
    EnsureVisible(id);
    if (hwnd()) {
        const RECT now = FocusRect(*item);
        InvalidateRect(hwnd(), &now, FALSE);
        if (GetFocus() == hwnd())
            AnnounceItem(EVENT_OBJECT_FOCUS, id);
    }
}

void ListView::EnsureVisible(int32_t id)
{
    const ListViewItem* const item = FindById(id);
    if (!item || !hwnd())
        return;
    const RECT cell = item->GetRect();
    const int height = ClientHeight();
    if (cell.top - geometry_.margins.top < scrollPos_)
        ScrollTo(cell.top - geometry_.margins.top);
    else if (cell.bottom + geometry_.margins.bottom > scrollPos_ + height)
        ScrollTo(std::min(cell.bottom + geometry_.margins.bottom - height, cell.top - geometry_.margins.top));
}

void ListView::FocusAfterRemoval()
{
    // The focus goes to the item that took the removed one's place (or the new last one).
    if (FindById(focusId_)) {
        focusIndex_ = IndexOf(focusId_);
        return;
    }
    focusId_ = -1;
    if (items_.empty() || focusIndex_ < 0) {
        focusIndex_ = -1;
        return;
    }
    focusIndex_ = std::min(focusIndex_, Count() - 1);
    focusId_ = items_[focusIndex_]->Id();
    if (hwnd() && GetFocus() == hwnd())
        AnnounceItem(EVENT_OBJECT_FOCUS, focusId_);
}

void ListView::OnFocusMessage()
{
    // Tabbing into a list with no focused item puts the focus on the first one.
    if (GetFocus() == hwnd() && !FindById(focusId_) && !items_.empty()) {
        focusId_ = items_.front()->Id();
        focusIndex_ = 0;
    }
    if (const ListViewItem* item = FindById(focusId_)) {
        const RECT rect = FocusRect(*item);
        InvalidateRect(hwnd(), &rect, FALSE);
    }
    if (GetFocus() == hwnd()) {
        if (FindById(focusId_))
            AnnounceItem(EVENT_OBJECT_FOCUS, focusId_);
        else
            NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd(), OBJID_CLIENT, CHILDID_SELF);
    }
}

RECT ListView::FocusRect(const ListViewItem& item) const
{
    RECT rect = item.GetRect();
    OffsetRect(&rect, 0, -scrollPos_);
    InflateRect(&rect, 3, 3);
    return rect;
}

void ListView::PaintFocus(HDC dc) const
{
    const ListViewItem* const item = FindById(focusId_);
    if (!item || !hwnd() || GetFocus() != hwnd())
        return;
    RECT rect = FocusRect(*item);
    const GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(0, 84, 166)));
    FrameRect(dc, &rect, brush.get());
    InflateRect(&rect, -1, -1);
    FrameRect(dc, &rect, brush.get());
}

void ListView::MoveFocusByKey(int target, bool extend, bool focusOnly)
{
    if (items_.empty())
        return;
    target = std::clamp(target, 0, Count() - 1);
    const int32_t before = focusId_;
    ListViewItem& item = *items_[target];
    SetFocusItem(item.Id());
    // While an upload runs the selection stays as it is; the focus still moves.
    if (focusOnly || IsUploading() || !arrowsSelect_)
        return;
    CommitRename();
    if (extend) {
        CheckAnchor();
        if (anchorId_ < 0)
            anchorId_ = FindById(before) ? before : item.Id();
        ClearSelection();
        const int a = IndexOf(anchorId_);
        for (int i = std::min(a, target); i <= std::max(a, target); ++i) {
            items_[i]->Select(POINT{0, 0});
            selection_.push_back(items_[i]->Id());
        }
    } else {
        ClearSelection();
        item.Select(POINT{0, 0});
        selection_.push_back(item.Id());
        anchorId_ = item.Id();
    }
    SelectionChanged(0);
}

bool ListView::OnKeyDown(WPARAM key)
{
    const bool ctrl = Held(VK_CONTROL);
    const bool shift = Held(VK_SHIFT);
    const int count = Count();
    const int columns = Columns();
    const int rowStep = geometry_.itemHeight + geometry_.verticalGap;
    const int pageRows = std::max(1, rowStep > 0 ? ClientHeight() / rowStep : 1);
    const int current = IndexOf(focusId_);
    const auto step = [&](int delta) { return current < 0 ? 0 : current + delta; };

    switch (key) {
    case VK_TAB:
        // The window that holds the list moves the focus on.
        if (hwnd() && ::GetParent(hwnd()))
            SendMessageW(::GetParent(hwnd()), WM_KEYDOWN, VK_TAB, 0);
        return true;
    case VK_LEFT:
        MoveFocusByKey(step(-1), shift, ctrl);
        return true;
    case VK_RIGHT:
        MoveFocusByKey(step(1), shift, ctrl);
        return true;
    case VK_UP:
        // A row up; on the first row the focus stays.
        MoveFocusByKey(current >= columns ? current - columns : std::max(current, 0), shift, ctrl);
        return true;
    case VK_DOWN:
        MoveFocusByKey(current < 0 ? 0 : current + columns < count ? current + columns : current, shift, ctrl);
        return true;
    case VK_HOME:
        MoveFocusByKey(0, shift, ctrl);
        return true;
    case VK_END:
        MoveFocusByKey(count - 1, shift, ctrl);
        return true;
    case VK_PRIOR:
        MoveFocusByKey(current < 0 ? 0 : std::max(current % columns, current - pageRows * columns), shift, ctrl);
        return true;
    case VK_NEXT: {
        int target = current < 0 ? 0 : current + pageRows * columns;
        while (target >= count && target - columns >= 0 && target - columns > current)
            target -= columns;  // the last row that exists, in the same column
        MoveFocusByKey(target >= count ? current : target, shift, ctrl);
        return true;
    }
    case VK_SPACE: {
        ListViewItem* item = FindById(focusId_);
        if (!item && !items_.empty()) {
            SetFocusItem(items_.front()->Id());
            item = items_.front().get();
        }
        if (!item || IsUploading())
            return true;
        if (!arrowsSelect_) {
            // The picker: Space toggles the focused picture's check mark, as a click does.
            item->SetChecked(item->Checked() ? 0 : 1);
            SelectionChanged(0);
            return true;
        }
        CtrlSelect(*item);
        anchorId_ = item->Id();
        return true;
    }
    case 'A':
        if (!ctrl)
            return false;
        if (IsUploading())
            return true;
        CommitRename();
        SelectAll(true);
        SelectionChanged(0);
        return true;
    case VK_DELETE:
        if (!IsUploading())
            RemoveSelected();
        return true;
    case VK_F2:
        if (ListViewItem* item = FindById(focusId_); item && !IsUploading() && interactive_) {
            EnsureVisible(item->Id());
            item->BeginRename();
        }
        return true;
    case VK_RETURN:
        if (FindById(focusId_))
            PreviewRequested(focusId_);
        return true;
    case 'Z':
        if (!ctrl)
            return false;
        UndoRemoval();
        return true;
    case 'E':
        if (!ctrl)
            return false;
        if (FindById(focusId_))
            EditRequested(focusId_);
        return true;
    default:
        return false;
    }
}

}  // namespace Vantor
