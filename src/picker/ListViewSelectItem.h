#pragma once
// The picker's item: the thumbnail centred in the cell, a frame while hovered or checked, and
// the check mark of a chosen picture. Every click toggles the check mark; select all checks.
#include "picker/ListViewItem.h"

namespace Vantor {

class ListViewSelectItem : public ListViewItem {
public:
    using ListViewItem::ListViewItem;

    void Paint(Gdiplus::Graphics& graphics, const RECT& cell) override;
    void Select(POINT point) override;
    void OnMouseDown(POINT point) override;
    void AddSizeIfChecked(int64_t& sum) const override;
    // Checks the picture: select all never takes a check away.
    void SelectForAll() override;
};

}  // namespace Vantor
