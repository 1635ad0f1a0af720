#include "picker/ListViewSelectItem.h"

#include "Biz/ImageData.h"
#include "picker/CombinBitmap.h"
#include "picker/ListView.h"

namespace Vantor {

void ListViewSelectItem::Paint(Gdiplus::Graphics& graphics, const RECT& cell)
{
    const auto record = Record();
    if (record) {
        if (const auto thumbnail = record->thumbnail())
            DrawCentred(graphics, *thumbnail, ThumbRect(cell));
    }
    if ((flags_ & ItemHovered) || checked_) {
        const COLORREF c = owner_ ? owner_->SelectionColour() : RGB(84, 180, 233);
        DrawItemFrame(graphics, cell, Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c)), 1.0f);
    }
    if (checked_)
        CombinBitmap::Current()->DrawAt(graphics, "Check", POINT{cell.left + 1, cell.top + 1});
    if (record)
        DrawItemText(graphics, record->name(), TextRect(cell), Gdiplus::Color(255, 51, 51, 51), 1);
}

void ListViewSelectItem::Select(POINT)
{
    checked_ = checked_ ? 0 : 1;
    flags_ |= ItemSelected;
    Invalidate();
}

void ListViewSelectItem::OnMouseDown(POINT)
{
    checked_ = checked_ ? 0 : 1;
    flags_ |= ItemSelected;
    Invalidate();
    if (owner_) {
        owner_->AddToSelection(id_);
        owner_->SetSelectionAnchor(id_);
    }
}

void ListViewSelectItem::SelectForAll()
{
    checked_ = 1;
    flags_ |= ItemSelected;
    Invalidate();
}

void ListViewSelectItem::AddSizeIfChecked(int64_t& sum) const
{
    if (!checked_)
        return;
    if (const auto record = Record())
        sum += record->fileSize();
}

}  // namespace Vantor
