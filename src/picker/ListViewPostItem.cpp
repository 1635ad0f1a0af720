#include "picker/ListViewPostItem.h"

#include <algorithm>

#include "Biz/ImageData.h"
#include "picker/CombinBitmap.h"
#include "picker/ListView.h"
#include "picker/UploadFailureText.h"
#include "ui/UiText.h"
#include "picker/ProgressBandText.h"
#include "ui/Drawing.h"
#include "ui/Theme.h"

namespace Vantor {

namespace {

// Where each hover-bar icon is drawn, relative to its hit rectangle.
constexpr int kIconShiftX[ListViewPostItem::kButtonCount] = {-1, -1, -1, -1, -1, 0};
constexpr int kIconShiftY[ListViewPostItem::kButtonCount] = {0, 0, 0, 0, 1, 0};
const char* const kIconNames[ListViewPostItem::kButtonCount] = {"Editor", "LeftCirc", "RightCirc", "Search", "Del", ""};

// White text on a dark box, wrapped onto as many lines as the box holds.
void DrawReasonBox(Gdiplus::Graphics& graphics, const std::wstring& text, const RECT& box)
{
    const Gdiplus::SolidBrush shade(Gdiplus::Color(0xC8, 0, 0, 0));
    graphics.FillRectangle(&shade, Gdiplus::Rect(box.left, box.top, box.right - box.left, box.bottom - box.top));
    const Gdiplus::FontFamily family(L"\u65B0\u5B8B\u4F53");
    const Gdiplus::Font font(&family, 12.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    const Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    const Gdiplus::RectF layout(static_cast<float>(box.left + 4), static_cast<float>(box.top + 2),
                                static_cast<float>(box.right - box.left - 8), static_cast<float>(box.bottom - box.top - 4));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), &font, layout, &format, &white);
}

}  // namespace

std::unique_ptr<ListViewItem> ListViewPostItem::Make(std::shared_ptr<ImageData> record)
{
    return std::make_unique<ListViewPostItem>(std::move(record));
}

ListViewPostItem::ListViewPostItem(std::shared_ptr<ImageData> record) : ListViewItem(std::move(record)) {}

void ListViewPostItem::SetRect(const RECT& r)
{
    ListViewItem::SetRect(r);
    buttons_[Del] = RECT{r.right - 16, r.top, r.right, r.top + 16};
    buttons_[LeftCirc] = RECT{r.left + 13, r.bottom - 53, r.left + 29, r.bottom - 37};
    buttons_[RightCirc] = RECT{r.left + 41, r.bottom - 53, r.left + 57, r.bottom - 37};
    buttons_[Editor] = RECT{r.left + 69, r.bottom - 53, r.left + 85, r.bottom - 37};
    buttons_[Search] = RECT{r.left + 126, r.bottom - 53, r.left + 142, r.bottom - 37};
    buttons_[Caption] = RECT{r.left, r.bottom - 30, r.right, r.bottom};
}

ListViewPostItem::Button ListViewPostItem::ButtonAt(POINT point) const
{
    // The order in which a click is tried.
    for (Button button : {Del, Editor, LeftCirc, RightCirc, Caption, Search})
        if (PtInRect(&buttons_[button], point))
            return button;
    return kButtonCount;
}

bool ListViewPostItem::HitButtons(POINT point) const { return ButtonAt(point) != kButtonCount; }

bool ListViewPostItem::RenamesAt(POINT point) const
{
    // The same conditions as OnClick's.
    return (flags_ & ItemSelected) && owner_ && owner_->IsInteractive() && !owner_->IsUploading() &&
           ButtonAt(point) == Caption;
}

RECT ListViewPostItem::ThumbRect(const RECT& cell) const
{
    return RECT{cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 30};
}

RECT ListViewPostItem::TextRect(const RECT& cell) const
{
    return RECT{cell.left + 3, cell.top + 120, cell.right, cell.bottom};
}

void ListViewPostItem::Paint(Gdiplus::Graphics& graphics, const RECT& cell)
{
    const std::shared_ptr<ImageData> record = Record();
    // The thumbnail and the remark with GDI, in one go on the graphics' device context.
    if (record) {
        const std::wstring remark = record->remark();
        const std::shared_ptr<Gdiplus::Image> thumbnail = record->thumbnail();
        if (const HDC dc = graphics.GetHDC()) {
            DrawThumbnailCentred(dc, thumbnail, ThumbRect(cell));
            DrawTextIn(dc, TextRect(cell), remark, RGB(51, 51, 51), Theme::Instance().NormalFont(),
                       DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
            graphics.ReleaseHDC(dc);
        }
    }
    const COLORREF selection = owner_ ? owner_->SelectionColour() : RGB(84, 180, 233);
    const COLORREF frame = (flags_ & ItemSelected) ? selection : RGB(225, 225, 225);
    DrawItemFrame(graphics, cell, Gdiplus::Color(255, GetRValue(frame), GetGValue(frame), GetBValue(frame)), 1.0f);

    const bool uploading = owner_ && owner_->IsUploading();
    // A file that failed keeps its band, with the reason, until the next upload; hovered, it
    // says the reason in a whole sentence.
    const bool failed = record && record->UploadState().phase == UploadPhase::Failed;
    if (uploading) {
        PaintProgress(graphics, cell);
    } else if (failed && (flags_ & ItemHovered)) {
        DrawReasonBox(graphics, FailureHoverText(record->uploadFailure(), TextLanguage()),
                      RECT{cell.left + 1, cell.top + 1, cell.right - 1, cell.top + 89});
    } else if (failed) {
        PaintProgress(graphics, cell);
    }
    if (!uploading && (flags_ & ItemHovered)) {
        const int dx = cell.left - rect_.left;
        const int dy = cell.top - rect_.top;
        const auto icons = CombinBitmap::Current();
        const auto drawIcon = [&](Button button) {
            RECT at = buttons_[button];
            OffsetRect(&at, dx + kIconShiftX[button], dy + kIconShiftY[button]);
            icons->Draw(graphics, kIconNames[button], at);
        };
        drawIcon(Del);
        if (!owner_ || owner_->IsInteractive()) {
            const Gdiplus::SolidBrush shade(Gdiplus::Color(0xAA, 0, 0, 0));
            graphics.FillRectangle(&shade, Gdiplus::Rect(cell.left + 1, cell.top + 90, cell.right - cell.left - 2,
                                                         cell.bottom - 30 - (cell.top + 90)));
            for (Button button : {LeftCirc, RightCirc, Editor, Search})
                drawIcon(button);
        }
    }
}

CellLook ListViewPostItem::Look() const
{
    CellLook look = ListViewItem::Look();
    const auto record = Record();
    if (!record)
        return look;
    look.caption = record->remark();  // the caption is the remark, not the file's name
    const UploadStatus status = record->UploadState();
    look.phase = static_cast<int>(status.phase);
    look.sent = status.sent;
    look.total = status.size;
    if (status.phase == UploadPhase::Failed) {
        const UploadFailure failure = record->uploadFailure();
        look.detail = FailureHoverText(failure) + L"\n" + FailureBandText(failure);
    }
    return look;
}

void ListViewPostItem::PaintProgress(Gdiplus::Graphics& graphics, const RECT& cell)
{
    const RECT band{cell.left + 1, cell.top + 96, cell.right - 1, cell.bottom - 30};
    const Gdiplus::SolidBrush shade(Gdiplus::Color(0x5A, 0, 0, 0));
    graphics.FillRectangle(&shade, Gdiplus::Rect(band.left, band.top, band.right - band.left, band.bottom - band.top));
    // Painted from the file's upload state: success only once the server has accepted it,
    // nothing filled for a failure, and a new task starts from nothing.
    const auto record = Record();
    const UploadStatus status = record ? record->UploadState() : UploadStatus{};
    const float fraction = static_cast<float>(status.share());
    const int filled = static_cast<int>((band.right - band.left) * fraction);
    if (filled > 0) {
        const Gdiplus::SolidBrush done(Gdiplus::Color(0xD2ABD369));
        graphics.FillRectangle(&done, Gdiplus::Rect(band.left, band.top, filled, band.bottom - band.top));
    }
    std::wstring text;
    if (status.phase == UploadPhase::Failed)
        text = FailureBandText(record->uploadFailure(), TextLanguage());
    else if (status.phase == UploadPhase::Retrying)
        text = RetryingBandText(TextLanguage());
    else
        text = ProgressBandText(status, TextLanguage());
    DrawItemText(graphics, text, band, Gdiplus::Color(255, 255, 255, 255), 1);
}

RECT ListViewPostItem::ProgressBand() const
{
    RECT band{rect_.left + 1, rect_.top + 96, rect_.right - 1, rect_.bottom - 30};
    if (owner_)
        OffsetRect(&band, 0, -owner_->ScrollPos());
    return band;
}

void ListViewPostItem::InvalidateBand() const
{
    if (!owner_ || !owner_->hwnd())
        return;
    const int scroll = owner_->ScrollPos();
    if (rect_.top > scroll + owner_->ClientHeight() || rect_.bottom < scroll)
        return;
    const RECT band = ProgressBand();
    InvalidateRect(owner_->hwnd(), &band, FALSE);
}

void ListViewPostItem::OnUploadProgress()
{
    InvalidateBand();
    if (owner_)
        owner_->AnnounceStatus(id_);
}

void ListViewPostItem::OnUploadCompleted() { OnUploadProgress(); }

void ListViewPostItem::Select(POINT point)
{
    // Every caller passes (0, 0), which is on no button: the item is selected.
    ListViewItem::Select(point);
}

void ListViewPostItem::OnMouseDown(POINT point)
{
    if (owner_ && owner_->IsUploading())
        return;
    if (PtInRect(&rect_, point)) {
        flags_ |= ItemSelected;
        if (owner_) {
            owner_->AddToSelection(id_);
            owner_->SetSelectionAnchor(id_);
        }
    } else {
        flags_ = 0;
    }
    Invalidate();
}

void ListViewPostItem::OnClick(POINT point)
{
    if (!(flags_ & ItemSelected) || !owner_ || !owner_->IsInteractive() || owner_->IsUploading())
        return;
    switch (ButtonAt(point)) {
    case Del:
        // The item may not delete itself inside its own handler: the list does it next.
        owner_->PostRemoveItem(id_, Removal::Undoable);
        break;
    case Editor:
        owner_->EditRequested(id_);
        break;
    case LeftCirc:
        RotateImageLeft();
        break;
    case RightCirc:
        RotateImageRight();
        break;
    case Caption:
        BeginRename();
        break;
    case Search:
        owner_->PreviewRequested(id_);
        break;
    default:
        break;
    }
}

void ListViewPostItem::BeginRename()
{
    const auto record = Record();
    if (!owner_ || !record)
        return;
    RECT strip = ScrolledCell();
    strip.top = strip.bottom - 30;
    owner_->ShowRenameBox(id_, strip, record->remark());
}

void ListViewPostItem::CommitRename()
{
    if (!owner_)
        return;
    const std::wstring text = owner_->RenameText();
    const auto record = Record();
    if (record && !text.empty())
        record->setRemark(text);
    Invalidate();
}

std::wstring ListViewPostItem::StatusText() const
{
    const auto record = Record();
    if (!record)
        return {};
    const UploadStatus status = record->UploadState();
    switch (status.phase) {
    case UploadPhase::None:
        return {};
    case UploadPhase::Waiting:
        return UI::Text(TextLanguage(), UI::TextId::Waiting);
    case UploadPhase::Done:
        return UI::Text(TextLanguage(), UI::TextId::Uploaded);
    case UploadPhase::Failed:
        return FailureHoverText(record->uploadFailure(), TextLanguage());
    case UploadPhase::Retrying:
        return RetryingBandText(TextLanguage());
    default:
        return std::to_wstring(static_cast<int>(status.share() * 100.0)) + L"%";
    }
}

}  // namespace Vantor
