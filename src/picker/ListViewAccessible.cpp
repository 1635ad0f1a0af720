#include "picker/ListViewAccessible.h"

#include "ui/UiText.h"

#include <algorithm>

#include "Biz/ImageData.h"
#include "picker/ListView.h"

namespace Vantor {

// ---- the list's side -------------------------------------------------------------------------

bool ListView::CanTakeFocus() const { return hwnd() && visible_ && IsWindowVisible(hwnd()) && IsWindowEnabled(hwnd()); }

UI::AccessibleInfo ListView::Describe() const
{
    UI::AccessibleInfo info = ControlBase::Describe();
    info.role = ROLE_SYSTEM_LIST;
    info.state |= STATE_SYSTEM_FOCUSABLE;
    if (hwnd() && GetFocus() == hwnd())
        info.state |= STATE_SYSTEM_FOCUSED;
    if (hwnd() && !IsWindowVisible(hwnd()))
        info.state |= STATE_SYSTEM_INVISIBLE;
    if (uploading_)
        info.state |= STATE_SYSTEM_READONLY;
    return info;
}

long ListView::ItemChildId(int32_t id) const
{
    const int index = IndexOf(id);
    return index < 0 ? 0 : index + 1;
}

void ListView::AnnounceItem(DWORD event, int32_t id) const
{
    const long child = ItemChildId(id);
    if (hwnd() && child > 0)
        NotifyWinEvent(event, hwnd(), OBJID_CLIENT, child);
}

void ListView::AnnounceStatus(int32_t id)
{
    const ListViewItem* const item = FindById(id);
    if (!item)
        return;
    std::wstring status = item->StatusText();
    std::wstring& told = announcedStatus_[id];
    if (status != told) {
        told = std::move(status);
        AnnounceItem(EVENT_OBJECT_DESCRIPTIONCHANGE, id);
    }
}

void ListView::AnnounceSelection()
{
    std::vector<int32_t> added, removed;
    for (int32_t id : selection_)
        if (std::find(announcedSelection_.begin(), announcedSelection_.end(), id) == announcedSelection_.end())
            added.push_back(id);
    for (int32_t id : announcedSelection_)
        if (std::find(selection_.begin(), selection_.end(), id) == selection_.end())
            removed.push_back(id);
    announcedSelection_ = selection_;
    if (!hwnd() || (added.empty() && removed.empty()))
        return;
    constexpr size_t kManyChanges = 20;  // beyond this, one event says "look again"
    if (selection_.size() == 1 && added.size() == 1) {
        AnnounceItem(EVENT_OBJECT_SELECTION, added.front());
    } else if (added.size() + removed.size() > kManyChanges) {
        NotifyWinEvent(EVENT_OBJECT_SELECTIONWITHIN, hwnd(), OBJID_CLIENT, CHILDID_SELF);
    } else {
        for (int32_t id : added)
            AnnounceItem(EVENT_OBJECT_SELECTIONADD, id);
        for (int32_t id : removed)
            AnnounceItem(EVENT_OBJECT_SELECTIONREMOVE, id);  // nothing for an item that went
    }
}

// ---- the accessible object's side --------------------------------------------------------------

HWND ListViewAccessible::Window() const { return list_.hwnd(); }

UI::AccessibleInfo ListViewAccessible::Self() const { return list_.Describe(); }

long ListViewAccessible::ChildCount() const { return list_.Count(); }

UI::AccessibleInfo ListViewAccessible::Child(long index) const
{
    UI::AccessibleInfo info;
    if (index < 0 || index >= list_.Count())
        return info;
    const ListViewItem& item = *list_.Items()[index];
    info.role = ROLE_SYSTEM_LISTITEM;
    if (const auto record = item.Record())
        info.name = record->remark();
    info.description = item.StatusText();
    info.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (list_.IsUploading())
        info.state |= STATE_SYSTEM_READONLY;
    if (item.IsSelected())
        info.state |= STATE_SYSTEM_SELECTED;
    if (item.Checked())
        info.state |= STATE_SYSTEM_CHECKED;
    if (item.Id() == list_.FocusId() && list_.hwnd() && GetFocus() == list_.hwnd())
        info.state |= STATE_SYSTEM_FOCUSED;
    const RECT cell = ChildBounds(index);
    if (cell.bottom <= 0 || cell.top >= list_.ClientHeight())
        info.state |= STATE_SYSTEM_OFFSCREEN;
    info.defaultAction = UI::Text(list_.TextLanguage(), UI::TextId::ClickAction);
    return info;
}

RECT ListViewAccessible::ChildBounds(long index) const
{
    if (index < 0 || index >= list_.Count())
        return RECT{};
    RECT cell = list_.Items()[index]->GetRect();
    OffsetRect(&cell, 0, -list_.ScrollPos());
    return cell;
}

long ListViewAccessible::FocusedChild() const { return list_.ItemChildId(list_.FocusId()) - 1; }

std::vector<long> ListViewAccessible::SelectedChildren() const
{
    std::vector<long> selected;
    for (int32_t id : list_.SelectionIds())
        if (const long child = list_.ItemChildId(id); child > 0)
            selected.push_back(child - 1);
    std::sort(selected.begin(), selected.end());
    return selected;
}

bool ListViewAccessible::DoDefaultAction(long index)
{
    // A click on the item: it alone is selected and focused.
    return Select(index, SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION);
}

bool ListViewAccessible::Select(long index, long flags)
{
    if (index < 0 || index >= list_.Count())
        return false;
    ListViewItem& item = *list_.Items()[index];
    if (flags & SELFLAG_TAKEFOCUS) {
        if (list_.hwnd())
            SetFocus(list_.hwnd());
        list_.SetFocusItem(item.Id());
    }
    if (list_.IsUploading())
        return (flags & ~SELFLAG_TAKEFOCUS) == 0;
    bool changed = false;
    if (flags & SELFLAG_TAKESELECTION) {
        list_.SelectAll(false);
        item.Select(POINT{0, 0});
        list_.AddToSelection(item.Id());
        list_.SetSelectionAnchor(item.Id());
        changed = true;
    } else if (flags & SELFLAG_ADDSELECTION) {
        item.Select(POINT{0, 0});
        list_.AddToSelection(item.Id());
        changed = true;
    } else if (flags & SELFLAG_REMOVESELECTION) {
        item.Deselect();
        // Taken out of the selection as a Ctrl click does it.
        std::vector<int32_t> kept;
        for (int32_t id : list_.SelectionIds())
            if (id != item.Id())
                kept.push_back(id);
        list_.SelectAll(false);
        for (int32_t id : kept)
            if (ListViewItem* other = list_.FindById(id)) {
                other->Select(POINT{0, 0});
                list_.AddToSelection(id);
            }
        changed = true;
    }
    if (changed)
        list_.SelectionChanged(0);
    return true;
}

}  // namespace Vantor
