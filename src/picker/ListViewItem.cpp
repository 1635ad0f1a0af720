#include "picker/ListViewItem.h"

#include "Biz/ImageData.h"
#include "picker/CombinBitmap.h"
#include "picker/FilePathKey.h"
#include "picker/ItemDates.h"
#include "picker/ListView.h"
#include "ui/Drawing.h"

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
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    const Gdiplus::RectF layout(static_cast<float>(rect.left), static_cast<float>(rect.top),
                                static_cast<float>(rect.right - rect.left), static_cast<float>(rect.bottom - rect.top));
    // The platform's GDI+ may cut a long name without its ellipsis: the text is cut here.
    const std::wstring shown = EllipsizedText(graphics, font, text, layout.Width);
    graphics.DrawString(shown.c_str(), static_cast<INT>(shown.size()), &font, layout, &format, &brush);
}

std::wstring EllipsizedText(Gdiplus::Graphics& graphics, const Gdiplus::Font& font, const std::wstring& text,
                            float width)
{
    const auto measure = [&](const std::wstring& s) {
        Gdiplus::RectF box;
        const Gdiplus::RectF unbounded(0, 0, 100000.0f, 1000.0f);
        Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
        format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap |
                              Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
        graphics.MeasureString(s.c_str(), static_cast<INT>(s.size()), &font, unbounded, &format, &box);
        return box.Width;
    };
    if (text.empty() || measure(text) <= width)
        return text;
    // The longest start of the text that fits with "…" after it.
    const std::wstring ellipsis = L"\u2026";
    size_t low = 0, high = text.size();
    while (low < high) {
        const size_t mid = (low + high + 1) / 2;
        if (measure(text.substr(0, mid) + ellipsis) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return text.substr(0, low) + ellipsis;
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

ListViewItem::ListViewItem(std::shared_ptr<ImageData> record, std::shared_ptr<ItemDates> dates)
    : dates_(dates ? std::move(dates) : std::make_shared<ItemDates>(record ? record->path() : std::wstring())),
      record_(std::move(record))
{
}

ListViewItem::~ListViewItem() = default;

UI::Language ListViewItem::TextLanguage() const
{
    return owner_ ? owner_->TextLanguage() : UI::Language::ZhCN;
}

std::shared_ptr<ImageData> ListViewItem::Record() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return record_;
}

void ListViewItem::SetRecord(std::shared_ptr<ImageData> record)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        record_ = std::move(record);
    }
    if (owner_)
        owner_->RecordChanged();
}

void ListViewItem::SelectForAll() { Select(POINT{0, 0}); }

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
    if (record) {
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

CellLook ListViewItem::Look() const
{
    CellLook look;
    look.size = SIZE{rect_.right - rect_.left, rect_.bottom - rect_.top};
    look.frame = SIZE{owner_ ? owner_->FrameWidth() : 148, owner_ ? owner_->FrameHeight() : 120};
    look.flags = flags_;
    look.checked = checked_;
    look.uploading = owner_ && owner_->IsUploading();
    look.interactive = !owner_ || owner_->IsInteractive();
    look.selection = owner_ ? owner_->SelectionColour() : RGB(84, 180, 233);
    look.icons = CombinBitmap::Current();
    if (const auto record = Record()) {
        look.thumbnail = record->thumbnail();
        look.hasPicture = record->hasPicture();
        look.caption = record->name();
    }
    return look;
}

bool ListViewItem::IsSameFile(const ListViewItem& other) const
{
    return Record() && other.Record() && PathKey() == other.PathKey();
}

bool ListViewItem::HasPath(const std::wstring& path) const
{
    return Record() && PathKey() == FilePathKey(path);
}

const std::wstring& ListViewItem::PathKey() const
{
    const auto record = Record();
    const std::wstring path = record ? record->path() : std::wstring();
    if (path != keyPath_ || key_.empty()) {
        key_ = FilePathKey(path);
        keyPath_ = path;
    }
    return key_;
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

void ListViewItem::DrawThumbnailCentred(HDC dc, const std::shared_ptr<Gdiplus::Image>& thumbnail, const RECT& rect)
{
    if (!thumbnail) {
        cachedFrom_.reset();
        cached_.reset();
        return;
    }
    if (thumbnail != cachedFrom_) {
        cached_.reset();
        cachedFrom_ = thumbnail;
        const int width = static_cast<int>(thumbnail->GetWidth());
        const int height = static_cast<int>(thumbnail->GetHeight());
        if (width <= 0 || height <= 0)
            return;
        // The thumbnail's straight-alpha pixels, premultiplied here once into a DIB section:
        // each colour times its cover, as the blend below expects (the platform's own
        // conversions are not trusted with semi-transparent pixels).
        Gdiplus::Bitmap* const bitmap = dynamic_cast<Gdiplus::Bitmap*>(thumbnail.get());
        std::unique_ptr<Gdiplus::Bitmap> copy;
        if (!bitmap) {
            copy = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
            Gdiplus::Graphics graphics(copy.get());
            graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
            graphics.DrawImage(thumbnail.get(), Gdiplus::Rect(0, 0, width, height), 0, 0, width, height,
                               Gdiplus::UnitPixel);
        }
        Gdiplus::Bitmap& source = bitmap ? *bitmap : *copy;
        Gdiplus::BitmapData data{};
        Gdiplus::Rect all(0, 0, width, height);
        if (source.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
            return;
        void* bits = nullptr;
        cached_.reset(CreateTopDownDib(width, height, &bits));
        if (cached_ && bits) {
            for (int y = 0; y < height; ++y) {
                const uint8_t* from = static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
                uint8_t* to = static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * width * 4;
                for (int x = 0; x < width; ++x, from += 4, to += 4) {
                    const unsigned a = from[3];
                    for (int c = 0; c < 3; ++c)
                        to[c] = static_cast<uint8_t>((from[c] * a + 127) / 255);
                    to[3] = static_cast<uint8_t>(a);
                }
            }
            cachedSize_ = SIZE{width, height};
        }
        source.UnlockBits(&data);
    }
    if (!cached_)
        return;
    const UniqueMemoryDC source(CreateCompatibleDC(dc));
    if (!source)
        return;
    const SelectObjectScope selected(source.get(), cached_.get());
    const int x = (rect.left + rect.right) / 2 - cachedSize_.cx / 2;
    const int y = (rect.top + rect.bottom) / 2 - cachedSize_.cy / 2;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc, x, y, cachedSize_.cx, cachedSize_.cy, source.get(), 0, 0, cachedSize_.cx, cachedSize_.cy, blend);
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
