#include "picker/ListViewItem.h"

#include "Biz/ImageData.h"
#include "picker/ItemDates.h"
#include "picker/ListView.h"

namespace Vantor {

namespace {

Gdiplus::Color FromColorRef(COLORREF colour)
{
    return Gdiplus::Color(255, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

}  // namespace

void DrawItemText(Gdiplus::Graphics& graphics, const std::wstring& text, const RECT& rect, Gdiplus::Color colour,
                  int alignment)
{
    if (text.empty() || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    const Gdiplus::FontFamily family(L"\u65B0\u5B8B\u4F53");
    const Gdiplus::Font font(&family, 12.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    const Gdiplus::SolidBrush brush(colour);
    Gdiplus::StringFormat format;
    format.SetAlignment(alignment == 1   ? Gdiplus::StringAlignmentCenter
                        : alignment == 2 ? Gdiplus::StringAlignmentFar
                                         : Gdiplus::StringAlignmentNear);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    const Gdiplus::RectF layout(static_cast<float>(rect.left), static_cast<float>(rect.top),
                                static_cast<float>(rect.right - rect.left), static_cast<float>(rect.bottom - rect.top));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), &font, layout, &format, &brush);
}

void DrawItemFrame(Gdiplus::Graphics& graphics, const RECT& rect, Gdiplus::Color colour, float width)
{
    const Gdiplus::Pen pen(colour, width);
    graphics.DrawRectangle(&pen, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                           static_cast<INT>(rect.right - rect.left - 1), static_cast<INT>(rect.bottom - rect.top - 1));
}

void DrawCentred(Gdiplus::Graphics& graphics, Gdiplus::Image& image, const RECT& rect)
{
    const int width = static_cast<int>(image.GetWidth());
    const int height = static_cast<int>(image.GetHeight());
    const int x = (rect.left + rect.right) / 2 - width / 2;
    const int y = (rect.top + rect.bottom) / 2 - height / 2;
    graphics.DrawImage(&image, Gdiplus::Rect(x, y, width, height), 0, 0, width, height, Gdiplus::UnitPixel);
}

ListViewItem::ListViewItem(std::shared_ptr<ImageData> record)
    : dates_(std::make_shared<ItemDates>(record ? record->path() : std::wstring())), record_(std::move(record))
{
}

ListViewItem::~ListViewItem() = default;

std::shared_ptr<ImageData> ListViewItem::Record() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return record_;
}

void ListViewItem::SetRecord(std::shared_ptr<ImageData> record)
{
    std::lock_guard<std::mutex> guard(lock_);
    record_ = std::move(record);
}

void ListViewItem::SetChecked(int checked)
{
    checked_ = checked;
    Invalidate();
}

void ListViewItem::SetFlags(uint32_t flags)
{
    flags_ = flags;
    Invalidate();
}

bool ListViewItem::HitButtons(POINT) const { return false; }

void ListViewItem::CommitRename() {}

void ListViewItem::PaintScrolled(Gdiplus::Graphics& graphics, int scroll)
{
    RECT cell = rect_;
    OffsetRect(&cell, 0, -scroll);
    Paint(graphics, cell);
}

void ListViewItem::Paint(Gdiplus::Graphics& graphics, const RECT& cell)
{
    const std::shared_ptr<ImageData> record = Record();
    const int frameWidth = owner_ ? owner_->FrameWidth() : 148;
    const int frameHeight = owner_ ? owner_->FrameHeight() : 120;
    const COLORREF selection = owner_ ? owner_->SelectionColour() : RGB(84, 180, 233);
    if (record && record->hasPicture()) {
        if (const auto thumbnail = record->thumbnail()) {
            const RECT thumb = ThumbRect(cell);
            graphics.DrawImage(thumbnail.get(), Gdiplus::Rect(thumb.left, thumb.top, thumb.right - thumb.left,
                                                              thumb.bottom - thumb.top));
        }
    }
    const RECT frame{cell.left, cell.top, cell.left + frameWidth, cell.top + frameHeight};
    DrawItemFrame(graphics, frame, FromColorRef(selection), (flags_ & (ItemHovered | ItemSelected)) ? 2.0f : 1.0f);
    if (record)
        DrawItemText(graphics, record->name(), TextRect(cell), Gdiplus::Color(255, 51, 51, 51), 1);
}

bool ListViewItem::IsSameFile(const ListViewItem& other) const
{
    const auto mine = Record();
    const auto theirs = other.Record();
    return mine && theirs && mine->path() == theirs->path();
}

bool ListViewItem::HasPath(const std::wstring& path) const
{
    const auto record = Record();
    return record && record->path() == path;
}

void ListViewItem::Select(POINT)
{
    flags_ |= ItemSelected;
    Invalidate();
}

void ListViewItem::OnMouseDown(POINT point)
{
    if (PtInRect(&rect_, point)) {
        if (flags_ & ItemSelected)
            return;
        flags_ |= ItemSelected;
    } else {
        flags_ = 0;
    }
    Invalidate();
}

void ListViewItem::OnClick(POINT) {}

void ListViewItem::OnHover(POINT point)
{
    if (PtInRect(&rect_, point)) {
        if (flags_ & ItemHovered)
            return;
        flags_ |= ItemHovered;
    } else {
        flags_ &= ~ItemHovered;
    }
    Invalidate();
}

void ListViewItem::OnLeave()
{
    if (!(flags_ & ItemHovered))
        return;
    flags_ &= ~ItemHovered;
    Invalidate();
}

RECT ListViewItem::ThumbRect(const RECT& cell) const
{
    const auto record = Record();
    if (!record || !record->hasPicture())
        return RECT{};
    return RECT{cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 30};
}

RECT ListViewItem::TextRect(const RECT& cell) const
{
    const int frameHeight = owner_ ? owner_->FrameHeight() : 120;
    return RECT{cell.left + 1, cell.top + frameHeight + 1, cell.right - 1, cell.bottom - 1};
}

void ListViewItem::AddSizeIfChecked(int64_t&) const {}

RECT ListViewItem::ScrolledCell() const
{
    RECT cell = rect_;
    if (owner_)
        OffsetRect(&cell, 0, -owner_->ScrollPos());
    return cell;
}

void ListViewItem::Invalidate() const
{
    if (!owner_ || !owner_->hwnd())
        return;
    const int scroll = owner_->ScrollPos();
    if (rect_.top > scroll + owner_->ClientHeight() || rect_.bottom < scroll)
        return;
    const RECT cell = ScrolledCell();
    InvalidateRect(owner_->hwnd(), &cell, FALSE);
}

void ListViewItem::Deselect()
{
    flags_ &= ~ItemSelected;
    Invalidate();
}

void ListViewItem::RotateImageLeft() { Turn(3); }

void ListViewItem::RotateImageRight() { Turn(1); }

void ListViewItem::Turn(int quarterTurns)
{
    const auto record = Record();
    if (!record || !record->Turn(quarterTurns))
        return;
    if (owner_)
        owner_->RequestThumbnail(*this, true);
    Invalidate();
}

void ListViewItem::ReloadImage(const std::wstring& path)
{
    SetRecord(ImageData::CreateUnloaded(path));
    dates_ = std::make_shared<ItemDates>(path);
    if (owner_)
        owner_->RequestThumbnail(*this, false);
    Invalidate();
}

void ListViewItem::SetEditedImage(Gdiplus::Bitmap* bitmap)
{
    const auto record = Record();
    if (!bitmap || !record)
        return;
    record->SetEditedImage(bitmap, owner_ ? owner_->FrameWidth() : 148, owner_ ? owner_->FrameHeight() : 120);
    Invalidate();
}


}  // namespace Vantor
