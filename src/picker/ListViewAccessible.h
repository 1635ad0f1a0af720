#pragma once
// The list as assistive technology reads it: a list whose children are its items in display
// order (child id = place + 1), each a list item named by its caption (the remark), selected
// and focused as the list has them, checked in the picker, its upload state as description.
// The list window answers WM_GETOBJECT with it.
#include "ui/AccessibleObject.h"

namespace Vantor {

class ListView;

class ListViewAccessible : public UI::AccessibleSource {
public:
    explicit ListViewAccessible(ListView& list) : list_(list) {}

    HWND Window() const override;
    UI::AccessibleInfo Self() const override;
    long ChildCount() const override;
    UI::AccessibleInfo Child(long index) const override;
    RECT ChildBounds(long index) const override;
    long FocusedChild() const override;
    std::vector<long> SelectedChildren() const override;
    bool DoDefaultAction(long index) override;
    bool Select(long index, long flags) override;

private:
    ListView& list_;
};

// The list's accessible object and what it reads, owned by the list.
class ListAccess {
public:
    explicit ListAccess(ListView& list) : source_(list), host_(source_) {}
    bool Answer(WPARAM wParam, LPARAM lParam, LRESULT& result) { return host_.Answer(wParam, lParam, result); }
    void Disconnect() { host_.Disconnect(); }

private:
    ListViewAccessible source_;
    UI::AccessibleHost host_;
};

}  // namespace Vantor
