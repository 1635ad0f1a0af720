#include "editor/ImageViewForm.h"

#include <algorithm>
#include <cmath>

#include "Biz/ImageData.h"
#include "editor/CanvasPlacement.h"
#include "image/GdiplusBridge.h"
#include "picker/ListView.h"
#include "picker/ListViewItem.h"
#include "ui/Drawing.h"
#include "ui/Theme.h"
#include "ui/UiText.h"

namespace Vantor {

namespace {

// Where the user last put a preview (the process's previews open there).
bool g_placed = false;
POINT g_placedAt{};

RECT WorkArea()
{
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) || IsRectEmpty(&work))
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return work;
}

SIZE AreaSize(const RECT& area) { return SIZE{area.right - area.left, area.bottom - area.top}; }

SIZE Fitted(SIZE picture, SIZE box)
{
    const double scale = CanvasPlacement::FitScale(picture, box);
    return SIZE{std::max<LONG>(1, std::lround(picture.cx * scale)), std::max<LONG>(1, std::lround(picture.cy * scale))};
}

}  // namespace

SIZE ImageViewForm::WindowSizeFor(SIZE picture, SIZE area)
{
    const SIZE box{area.cx, std::max<LONG>(1, area.cy - kCaptionHeight)};
    SIZE size = picture.cx > 0 && picture.cy > 0 ? Fitted(picture, box) : SIZE{0, 0};
    size.cy += kCaptionHeight;
    size.cx = std::min<LONG>(std::max<LONG>(size.cx, kMinWidth), area.cx);
    size.cy = std::min<LONG>(std::max<LONG>(size.cy, kMinHeight), area.cy);
    return size;
}

POINT ImageViewForm::PlaceIn(SIZE window, const RECT& area, const POINT* wanted)
{
    POINT at = wanted ? *wanted
                      : POINT{area.left + (area.right - area.left - window.cx) / 2,
                              area.top + (area.bottom - area.top - window.cy) / 2};
    at.x = std::max<LONG>(area.left, std::min<LONG>(at.x, area.right - window.cx));
    at.y = std::max<LONG>(area.top, std::min<LONG>(at.y, area.bottom - window.cy));
    return at;
}

ImageViewForm* ImageViewForm::Open(ListView& list, int32_t itemId)
{
    if (!list.FindById(itemId))
        return nullptr;
    // The window owns the object from here: it is deleted with the window's last message.
    std::unique_ptr<ImageViewForm> form(new ImageViewForm(list, itemId));
    form->SetLanguage(list.TextLanguage());
    if (!form->Create())
        return nullptr;
    return form.release();
}

ImageViewForm::ImageViewForm(ListView& list, int32_t itemId) : list_(&list), id_(itemId) {}

bool ImageViewForm::Create()
{
    if (!CreateWindowOfClass(nullptr, RECT{0, 0, kMinWidth, kMinHeight}, UI::Text(TextLanguage(), UI::TextId::PreviewTitle), WS_POPUP,
                             WS_EX_TOOLWINDOW))
        return false;
    AttachWindow(hwnd(), 0, 0, kMinWidth, kMinHeight);
    resizable_ = false;

    close_.Create(this, L"");
    close_.SetImages("BtnCloseVNormal", "BtnCloseVHover", "BtnCloseVHover", "BtnCloseVNormal");
    close_.SetAccessibleName(UI::Text(TextLanguage(), UI::TextId::Close));
    close_.SetSize(25, 25);
    close_.SetAnchor(AnchorTop | AnchorRight);
    close_.Click.connect([this] { PostMessageW(hwnd(), kClose, 0, 0); });
    previous_.Create(this, L"");
    previous_.SetImages("ico-left", "ico-left", "ico-left", "ico-left");
    previous_.SetAccessibleName(UI::Text(TextLanguage(), UI::TextId::PreviousPicture));
    previous_.SetSize(48, 48);
    previous_.SetAnchor(AnchorLeft | AnchorCenterV);
    previous_.Click.connect([this] { Step(-1); });
    next_.Create(this, L"");
    next_.SetImages("ico-right", "ico-right", "ico-right", "ico-right");
    next_.SetAccessibleName(UI::Text(TextLanguage(), UI::TextId::NextPicture));
    next_.SetSize(48, 48);
    next_.SetAnchor(AnchorRight | AnchorCenterV);
    next_.Click.connect([this] { Step(1); });

    // Sized and placed while hidden, then shown on top.
    Show(id_);
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
    return true;
}

int ImageViewForm::CurrentIndex() const
{
    if (!list_ || list_->Count() == 0)
        return -1;
    const int index = list_->IndexOf(id_);
    return index;
}

void ImageViewForm::Show(int32_t itemId)
{
    ListViewItem* const item = list_ ? list_->FindById(itemId) : nullptr;
    const std::shared_ptr<ImageData> record = item ? item->Record() : nullptr;
    if (!record)
        return;
    id_ = itemId;
    lastIndex_ = list_->IndexOf(itemId);
    pictureSize_ = SIZE{static_cast<LONG>(record->width()), static_cast<LONG>(record->height())};
    picture_ = record->thumbnail();
    if (!placed_) {
        Place(pictureSize_);
        placed_ = true;
    }
    UpdateCaption();
    UpdateArrows();

    // The whole picture, shrunk to what the window shows, is made off the window thread. A
    // picture not measured yet (its thumbnail still to come) is fitted once it is decoded
    // there; a window opened on it takes its size when it arrives.
    const bool measured = pictureSize_.cx > 0 && pictureSize_.cy > 0;
    const RECT shownIn = PictureArea();
    const SIZE area = measured && !IsRectEmpty(&shownIn) ? AreaSize(shownIn) : SIZE{0, 0};
    const SIZE work = AreaSize(WorkArea());
    ticket_ = fetch_.Start(record, hwnd(), kPictureReady, [area, work](Gdiplus::Bitmap& picture) {
        FetchedPicture fetched;
        const SIZE whole{static_cast<LONG>(picture.GetWidth()), static_cast<LONG>(picture.GetHeight())};
        if (whole.cx <= 0 || whole.cy <= 0)
            return fetched;
        const SIZE box = area.cx > 0 ? Fitted(whole, area) : Fitted(whole, WindowSizeFor(whole, work));
        std::unique_ptr<CxImage> image = CxImageFromBitmap(picture);
        if (!image)
            return fetched;
        const SIZE shown = Fitted(SIZE{static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())},
                                  box);
        if (!image->Resample(shown.cx, shown.cy, 0))
            return fetched;
        fetched.size = whole;
        fetched.bitmap = BitmapKeepingAlpha(*image);
        fetched.ok = fetched.bitmap != nullptr;
        return fetched;
    });
}

void ImageViewForm::Place(SIZE picture)
{
    const RECT work = WorkArea();
    // The window rectangle is what must fit, whatever frame the window has.
    RECT frame{0, 0, 100, 100};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)));
    const SIZE extra{frame.right - frame.left - 100, frame.bottom - frame.top - 100};
    const SIZE area = AreaSize(work);
    const SIZE client = WindowSizeFor(picture, SIZE{area.cx - extra.cx, area.cy - extra.cy});
    const SIZE window{client.cx + extra.cx, client.cy + extra.cy};
    const POINT at = PlaceIn(window, work, g_placed ? &g_placedAt : nullptr);
    SetWindowPos(hwnd(), nullptr, at.x, at.y, window.cx, window.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    // A window that keeps its size gets no WM_SIZE: the buttons are placed here.
    RECT inside{};
    GetClientRect(hwnd(), &inside);
    bounds_ = inside;
    LayoutChildren();
    UpdateArrows();
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

RECT ImageViewForm::PictureArea() const
{
    RECT area = bounds_;
    area.top = std::min<LONG>(area.bottom, area.top + kCaptionHeight);
    return area;
}

void ImageViewForm::UpdateCaption()
{
    caption_.clear();
    ListViewItem* const item = list_ ? list_->FindById(id_) : nullptr;
    if (!item || !item->Record())
        return;
    const std::wstring& path = item->Record()->path();
    const size_t slash = path.find_last_of(L"\\/");
    caption_ = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const int index = list_->IndexOf(id_);
    if (index >= 0)
        caption_ += L"    " + std::to_wstring(index + 1) + L"/" + std::to_wstring(list_->Count());
    if (hwnd()) {
        RECT band = bounds_;
        band.bottom = band.top + kCaptionHeight;
        InvalidateRect(hwnd(), &band, FALSE);
    }
}

bool ImageViewForm::Step(int direction)
{
    if (!list_)
        return false;
    const int count = list_->Count();
    if (count == 0) {
        PostMessageW(hwnd(), kClose, 0, 0);
        return false;
    }
    const int index = CurrentIndex();
    int target = 0;
    if (index >= 0) {
        target = index + direction;
    } else {
        // The item shown has gone: the one now in its place is next, the one before it previous.
        const int at = std::min(lastIndex_, count);
        target = direction > 0 ? at : at - 1;
    }
    if (target < 0 || target >= count) {
        UpdateArrows();
        UpdateCaption();
        return false;
    }
    stepped_ = true;
    Show(list_->Items()[static_cast<size_t>(target)]->Id());
    return true;
}

void ImageViewForm::UpdateArrows()
{
    const int count = list_ ? list_->Count() : 0;
    const int index = CurrentIndex();
    bool hasPrevious = false, hasNext = false;
    if (index >= 0) {
        hasPrevious = index > 0;
        hasNext = index + 1 < count;
    } else if (count > 0) {
        const int at = std::min(lastIndex_, count);
        hasPrevious = at > 0;
        hasNext = at < count;
    }
    previous_.SetVisible(hasPrevious ? 1 : 0);
    next_.SetVisible(hasNext ? 1 : 0);
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void ImageViewForm::Paint(UI::CPaintEventArgs& e)
{
    FillRect(e.dc, &bounds_, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const RECT area = PictureArea();
    if (picture_ && e.graphics && pictureSize_.cx > 0 && !IsRectEmpty(&area)) {
        const SIZE shown = Fitted(pictureSize_, SIZE{area.right - area.left, area.bottom - area.top});
        const int x = (area.left + area.right) / 2 - shown.cx / 2;
        const int y = (area.top + area.bottom) / 2 - shown.cy / 2;
        e.graphics->DrawImage(picture_.get(), x, y, shown.cx, shown.cy);
    }
    // The band leaves room for the close button on the right.
    const RECT band{bounds_.left + 10, bounds_.top, bounds_.right - 34, bounds_.top + kCaptionHeight};
    DrawTextIn(e.dc, band, caption_, Theme::Instance().NormalTextColor(), Theme::Instance().NormalFont(),
               DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    ControlBase::Paint(e);
}

bool ImageViewForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case kPictureReady:
        if (std::optional<FetchedPicture> fetched = fetch_.Take(static_cast<uint32_t>(wParam))) {
            if (fetched->ok) {
                const bool wasMeasured = pictureSize_.cx > 0 && pictureSize_.cy > 0;
                picture_ = fetched->bitmap;
                pictureSize_ = fetched->size;
                // A window opened on a picture not measured yet takes its size now; one that
                // stepped to it keeps its own.
                if (!wasMeasured && !stepped_)
                    Place(pictureSize_);
                InvalidateRect(hwnd(), nullptr, FALSE);
            }
        }
        return true;
    case kClose:
        DestroyWindow(hwnd());
        return true;
    case WM_LBUTTONUP: {
        // The end of a drag by the window's empty areas: later previews open there.
        const bool dragged = IsDragging();
        const bool handled = ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
        if (dragged) {
            RECT r{};
            GetWindowRect(hwnd(), &r);
            g_placed = true;
            g_placedAt = POINT{r.left, r.top};
        }
        return handled;
    }
    case WM_KILLFOCUS:
        // Closing inside the focus change would destroy the window under the caller's feet.
        PostMessageW(hwnd(), kClose, 0, 0);
        return true;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            PostMessageW(hwnd(), kClose, 0, 0);
        else if (wParam == VK_LEFT)
            Step(-1);
        else if (wParam == VK_RIGHT)
            Step(1);
        return true;
    default:
        return ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
    }
}

void ImageViewForm::OnFinalMessage() { delete this; }

}  // namespace Vantor
