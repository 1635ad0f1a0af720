#include "editor/ImageViewForm.h"

#include <algorithm>
#include <cmath>

#include "Biz/ImageData.h"
#include "editor/CanvasPlacement.h"
#include "image/GdiplusBridge.h"
#include "picker/ListView.h"
#include "picker/ListViewItem.h"

namespace Vantor {

namespace {

SIZE ScreenSize() { return SIZE{GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN)}; }

SIZE Fitted(SIZE picture, SIZE box)
{
    const double scale = CanvasPlacement::FitScale(picture, box);
    return SIZE{std::max<LONG>(1, std::lround(picture.cx * scale)), std::max<LONG>(1, std::lround(picture.cy * scale))};
}

}  // namespace

SIZE ImageViewForm::WindowSizeFor(SIZE picture, SIZE screen)
{
    SIZE size = picture.cx > 0 && picture.cy > 0 ? Fitted(picture, screen) : SIZE{0, 0};
    size.cx = std::max<LONG>(size.cx, kMinWidth);
    size.cy = std::max<LONG>(size.cy, kMinHeight);
    return size;
}

ImageViewForm* ImageViewForm::Open(ListView& list, int32_t itemId)
{
    if (!list.FindById(itemId))
        return nullptr;
    // The window owns the object from here: it is deleted with the window's last message.
    std::unique_ptr<ImageViewForm> form(new ImageViewForm(list, itemId));
    if (!form->Create())
        return nullptr;
    return form.release();
}

ImageViewForm::ImageViewForm(ListView& list, int32_t itemId) : list_(&list), id_(itemId) {}

bool ImageViewForm::Create()
{
    if (!CreateWindowOfClass(nullptr, RECT{0, 0, kMinWidth, kMinHeight}, L"\u56FE\u7247\u9884\u89C8", WS_POPUP,
                             WS_EX_TOOLWINDOW))
        return false;
    AttachWindow(hwnd(), 0, 0, kMinWidth, kMinHeight);
    resizable_ = false;

    close_.Create(this, L"");
    close_.SetImages("BtnCloseVNormal", "BtnCloseVHover", "BtnCloseVHover", "BtnCloseVNormal");
    close_.SetSize(25, 25);
    close_.SetAnchor(AnchorTop | AnchorRight);
    close_.Click.connect([this] { PostMessageW(hwnd(), kClose, 0, 0); });
    previous_.Create(this, L"");
    previous_.SetImages("ico-left", "ico-left", "ico-left", "ico-left");
    previous_.SetSize(48, 48);
    previous_.SetAnchor(AnchorLeft | AnchorCenterV);
    previous_.Click.connect([this] { Step(-1); });
    next_.Create(this, L"");
    next_.SetImages("ico-right", "ico-right", "ico-right", "ico-right");
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

    const SIZE window = WindowSizeFor(pictureSize_, ScreenSize());
    SetWindowPos(hwnd(), nullptr, 0, 0, window.cx, window.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - window.cx) / 2;
    const int y = work.top + ((work.bottom - work.top) - window.cy) / 2;
    SetWindowPos(hwnd(), nullptr, std::max<LONG>(work.left, x), std::max<LONG>(work.top, y), 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    // A window that keeps its size gets no WM_SIZE: the buttons are placed here.
    RECT client{};
    GetClientRect(hwnd(), &client);
    bounds_ = client;
    LayoutChildren();
    UpdateArrows();
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

    // The whole picture, shrunk to what the window shows, is made off the window thread.
    const SIZE target = Fitted(pictureSize_, window);
    ticket_ = fetch_.Start(record, hwnd(), kPictureReady, [target](Gdiplus::Bitmap& picture) {
        FetchedPicture fetched;
        std::unique_ptr<CxImage> image = CxImageFromBitmap(picture);
        if (!image)
            return fetched;
        const SIZE shown = Fitted(SIZE{static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())},
                                  target);
        if (!image->Resample(shown.cx, shown.cy, 0))
            return fetched;
        fetched.size = SIZE{static_cast<LONG>(picture.GetWidth()), static_cast<LONG>(picture.GetHeight())};
        fetched.bitmap = BitmapKeepingAlpha(*image);
        fetched.ok = fetched.bitmap != nullptr;
        return fetched;
    });
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
        return false;
    }
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
    if (picture_ && e.graphics && pictureSize_.cx > 0) {
        const SIZE shown = Fitted(pictureSize_, SIZE{bounds_.right - bounds_.left, bounds_.bottom - bounds_.top});
        const int x = (bounds_.left + bounds_.right) / 2 - shown.cx / 2;
        const int y = (bounds_.top + bounds_.bottom) / 2 - shown.cy / 2;
        e.graphics->DrawImage(picture_.get(), x, y, shown.cx, shown.cy);
    }
    ControlBase::Paint(e);
}

bool ImageViewForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case kPictureReady:
        if (std::optional<FetchedPicture> fetched = fetch_.Take(static_cast<uint32_t>(wParam))) {
            if (fetched->ok) {
                picture_ = fetched->bitmap;
                pictureSize_ = fetched->size;
                InvalidateRect(hwnd(), nullptr, FALSE);
            }
        }
        return true;
    case kClose:
        DestroyWindow(hwnd());
        return true;
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
