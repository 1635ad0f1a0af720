#include "editor/ImageEditor.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "platform/Handles.h"

namespace Vantor {

namespace {

// Operations that write into a destination leave their source untouched (they may note an
// error on it): the pictures the history shares are read this way.
CxImage& Source(const std::shared_ptr<const CxImage>& image) { return const_cast<CxImage&>(*image); }

RECT Union(const RECT& a, const RECT& b)
{
    RECT u{};
    if (IsRectEmpty(&a))
        return b;
    if (IsRectEmpty(&b))
        return a;
    UnionRect(&u, &a, &b);
    return u;
}

// Darkens what lies outside `keep` within `area` by half: the part a crop would drop.
void DimOutside(HDC dc, const RECT& area, const RECT& keep)
{
    UniqueMemoryDC black(CreateCompatibleDC(dc));
    GdiObject<HBITMAP> pixel(CreateCompatibleBitmap(dc, 1, 1));
    if (!black || !pixel)
        return;
    SelectObjectScope select(black.get(), pixel.get());
    const RECT one{0, 0, 1, 1};
    FillRect(black.get(), &one, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT inside{};
    if (!IntersectRect(&inside, &area, &keep))
        inside = RECT{area.left, area.top, area.left, area.top};
    const RECT parts[] = {
        {area.left, area.top, area.right, inside.top},
        {area.left, inside.bottom, area.right, area.bottom},
        {area.left, inside.top, inside.left, inside.bottom},
        {inside.right, inside.top, area.right, inside.bottom},
    };
    const BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
    for (const RECT& part : parts)
        if (part.right > part.left && part.bottom > part.top)
            GdiAlphaBlend(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, black.get(), 0, 0,
                          1, 1, half);
}

}  // namespace

ImageEditor::ImageEditor()
{
    tracker_.Changed = [this](const RECT&) {
        tracker_.Clamp();
        OnSelectionChanged();
        if (hwnd())
            UpdateWindow(hwnd());
    };
}

ImageEditor::~ImageEditor() = default;

HWND ImageEditor::Create(ControlBase* parent)
{
    ControlBase::Attach(parent);
    const RECT bounds = ComputeBounds();
    const HWND window = CreateWindowOfClass(parent->GetHwnd(), bounds, L"",
                                            WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | WS_CLIPSIBLINGS |
                                                WS_TABSTOP);
    if (window) {
        bounds_ = bounds;
        UpdateScrollBars();
    }
    return window;
}

void ImageEditor::Layout()
{
    bounds_ = ComputeBounds();
    if (hwnd())
        MoveWindow(hwnd(), bounds_.left, bounds_.top, bounds_.right - bounds_.left, bounds_.bottom - bounds_.top,
                   TRUE);
}

void ImageEditor::SetVisible(int flag)
{
    ControlBase::SetVisible(flag);
    if (hwnd())
        ShowWindow(hwnd(), flag ? SW_SHOWNA : SW_HIDE);
}

bool ImageEditor::SetImage(std::unique_ptr<CxImage> picture)
{
    const bool ok = edit_.SetPicture(std::move(picture));
    placement_.scroll = POINT{};
    AfterEdit(true);
    return ok;
}

bool ImageEditor::RotateLeft()
{
    const bool ok = edit_.RotateLeft();
    AfterEdit(ok);
    return ok;
}

bool ImageEditor::RotateRight()
{
    const bool ok = edit_.RotateRight();
    AfterEdit(ok);
    return ok;
}

bool ImageEditor::ResizeTo(int width, int height)
{
    const bool ok = edit_.Resize(width, height);
    AfterEdit(ok);
    return ok;
}

bool ImageEditor::CropToSelection()
{
    const RECT selection = SelectionInPicture();
    if (IsRectEmpty(&selection))
        return false;
    const bool ok = edit_.Crop(selection);
    AfterEdit(ok);
    return ok;
}

bool ImageEditor::SetAdjustments(const Adjustments& adjustments)
{
    const bool ok = edit_.SetAdjustments(adjustments);
    // Even when nothing changed, the slider's trial copy goes.
    preview_.reset();
    previewBase_.reset();
    if (ok) {
        RebuildShown();
        if (hwnd())
            InvalidateRect(hwnd(), nullptr, FALSE);
        PictureChanged();
    } else if (hwnd()) {
        InvalidateRect(hwnd(), nullptr, FALSE);
    }
    return ok;
}

bool ImageEditor::Revert()
{
    const bool ok = edit_.Revert();
    AfterEdit(ok);
    return ok;
}

bool ImageEditor::Undo()
{
    const bool ok = edit_.Undo();
    AfterEdit(ok);
    return ok;
}

bool ImageEditor::Redo()
{
    const bool ok = edit_.Redo();
    AfterEdit(ok);
    return ok;
}

void ImageEditor::AfterEdit(bool changed)
{
    if (!changed)
        return;
    preview_.reset();
    previewBase_.reset();
    ClearSelection();
    Refresh();
    PictureChanged();
}

void ImageEditor::PreviewAdjustments(const Adjustments& adjustments)
{
    const std::shared_ptr<const CxImage> geometry = edit_.Geometry();
    if (!geometry || !hwnd())
        return;
    if (!previewBase_) {
        // What is visible of the picture without adjustments, at the shown scale: at most the
        // canvas's size whatever the picture's.
        RECT client{};
        GetClientRect(hwnd(), &client);
        const RECT shown = placement_.ShownRect();
        RECT visible{};
        if (!IntersectRect(&visible, &shown, &client))
            return;
        const RECT part = placement_.ToPicture(visible);
        if (IsRectEmpty(&part))
            return;
        const RECT at = placement_.ToCanvas(part);
        const int width = std::max<LONG>(1, at.right - at.left);
        const int height = std::max<LONG>(1, at.bottom - at.top);
        auto base = std::make_unique<CxImage>();
        const bool whole = part.left == 0 && part.top == 0 && part.right == placement_.picture.cx &&
                           part.bottom == placement_.picture.cy;
        bool ok = false;
        if (whole) {
            ok = Source(geometry).Resample(width, height, 0, base.get());
        } else {
            ok = Source(geometry).Crop(part.left, part.top, part.right, part.bottom, base.get());
            if (ok && (base->GetWidth() != static_cast<uint32_t>(width) ||
                       base->GetHeight() != static_cast<uint32_t>(height)))
                ok = base->Resample(width, height, 0);
        }
        if (!ok)
            return;
        previewBase_ = std::move(base);
        previewAt_ = RECT{at.left, at.top, at.left + width, at.top + height};
    }
    auto trial = std::make_unique<CxImage>(*previewBase_);
    if (!ApplyAdjustments(*trial, adjustments))
        return;
    preview_ = std::move(trial);
    InvalidateRect(hwnd(), &previewAt_, FALSE);
    UpdateWindow(hwnd());
}

void ImageEditor::ActualPixels()
{
    fitted_ = false;
    placement_.scroll = POINT{};
    preview_.reset();
    previewBase_.reset();
    ClearSelection();
    Refresh();
}

void ImageEditor::FitToCanvas()
{
    fitted_ = true;
    placement_.scroll = POINT{};
    preview_.reset();
    previewBase_.reset();
    ClearSelection();
    Refresh();
}

void ImageEditor::SetCropMode(bool on)
{
    cropMode_ = on;
    if (!on) {
        rubberBanding_ = false;
        ClearSelection();
    }
}

void ImageEditor::ClearSelection()
{
    if (tracker_.IsEmpty()) {
        tracker_.Clear();
        return;
    }
    const RECT area = tracker_.TrueRect();
    tracker_.Clear();
    if (hwnd()) {
        RECT grown = area;
        InflateRect(&grown, 1, 1);
        const RECT both = Union(grown, placement_.ShownRect());
        InvalidateRect(hwnd(), &both, FALSE);
    }
    lastDrawn_ = RECT{};
    selection_ = RECT{};
    CropSizeChanged(L"0", L"0");
}

RECT ImageEditor::SelectionInPicture() const
{
    if (tracker_.IsEmpty() || !edit_.HasPicture())
        return RECT{};
    return selection_;
}

void ImageEditor::PlaceSelection()
{
    if (tracker_.IsEmpty() || IsRectEmpty(&selection_))
        return;
    tracker_.SetRect(placement_.ToCanvas(selection_));
    lastDrawn_ = RECT{};
}

void ImageEditor::Refresh()
{
    if (hwnd()) {
        RECT client{};
        GetClientRect(hwnd(), &client);
        placement_.canvas = SIZE{client.right, client.bottom};
    }
    placement_.picture = edit_.Size();
    placement_.scale = fitted_ ? CanvasPlacement::FitScale(placement_.picture, placement_.canvas) : 1.0;
    const POINT most = placement_.MaxScroll();
    placement_.scroll.x = std::clamp<LONG>(placement_.scroll.x, 0, most.x);
    placement_.scroll.y = std::clamp<LONG>(placement_.scroll.y, 0, most.y);
    RebuildShown();
    UpdateScrollBars();
    tracker_.SetBounds(placement_.ShownRect());
    PlaceSelection();
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

void ImageEditor::RebuildShown()
{
    shown_.reset();
    const std::shared_ptr<const CxImage> result = edit_.Result();
    if (!result)
        return;
    const SIZE shown = placement_.Shown();
    if (shown.cx == placement_.picture.cx && shown.cy == placement_.picture.cy)
        return;
    auto copy = std::make_unique<CxImage>();
    if (Source(result).Resample(shown.cx, shown.cy, 0, copy.get()))
        shown_ = std::move(copy);
}

void ImageEditor::UpdateScrollBars()
{
    if (!hwnd())
        return;
    const SIZE shown = edit_.HasPicture() ? placement_.Shown() : SIZE{0, 0};
    const auto set = [&](int bar, LONG extent, LONG canvas, LONG position) {
        SCROLLINFO info{sizeof(info)};
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        if (canvas < extent) {
            info.nMin = 0;
            info.nMax = extent - 1;
            info.nPage = static_cast<UINT>(canvas);
            info.nPos = position;
        }
        SetScrollInfo(hwnd(), bar, &info, TRUE);
        EnableScrollBar(hwnd(), bar, canvas < extent ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    };
    set(SB_HORZ, shown.cx, placement_.canvas.cx, placement_.scroll.x);
    set(SB_VERT, shown.cy, placement_.canvas.cy, placement_.scroll.y);
}

void ImageEditor::OnScroll(int bar, int code)
{
    const POINT most = placement_.MaxScroll();
    const bool horizontal = bar == SB_HORZ;
    LONG& position = horizontal ? placement_.scroll.x : placement_.scroll.y;
    const LONG maximum = horizontal ? most.x : most.y;
    const LONG page = horizontal ? placement_.canvas.cx : placement_.canvas.cy;
    if (maximum <= 0)
        return;
    LONG next = position;
    switch (code) {
    case SB_LINEUP: next = std::max<LONG>(position - 1, 0); break;
    case SB_LINEDOWN: next = std::min<LONG>(position + 1, maximum); break;
    case SB_PAGEUP: next = std::max<LONG>(position - page, 0); break;
    case SB_PAGEDOWN: next = std::min<LONG>(position + page, maximum); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        SCROLLINFO info{sizeof(info), SIF_TRACKPOS};
        GetScrollInfo(hwnd(), bar, &info);
        next = std::clamp<LONG>(info.nTrackPos, 0, maximum);
        break;
    }
    case SB_TOP: next = 0; break;
    case SB_BOTTOM: next = maximum; break;
    default: return;
    }
    if (next == position)
        return;
    position = next;
    SetScrollPos(hwnd(), bar, position, TRUE);
    tracker_.SetBounds(placement_.ShownRect());
    PlaceSelection();
    preview_.reset();
    previewBase_.reset();
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void ImageEditor::OnPaint()
{
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd(), &ps);
    RECT client{};
    GetClientRect(hwnd(), &client);
    if (client.right > 0 && client.bottom > 0) {
        UniqueMemoryDC memory(CreateCompatibleDC(dc));
        GdiObject<HBITMAP> buffer(CreateCompatibleBitmap(dc, client.right, client.bottom));
        if (memory && buffer) {
            SelectObjectScope select(memory.get(), buffer.get());
            GdiObject<HBRUSH> background(CreateSolidBrush(kBackground));
            FillRect(memory.get(), &client, background.get());
            const POINT at = placement_.Offset();
            if (const std::shared_ptr<const CxImage> result = edit_.Result()) {
                const CxImage& picture = shown_ ? *shown_ : *result;
                picture.Draw(memory.get(), at.x, at.y);
            }
            if (preview_) {
                // The trial covers what is visible; the background around it is the same.
                FillRect(memory.get(), &previewAt_, background.get());
                preview_->Draw(memory.get(), previewAt_.left, previewAt_.top);
            }
            if (cropMode_ && !tracker_.IsEmpty() && edit_.HasPicture())
                DimOutside(memory.get(), placement_.ShownRect(), tracker_.Normalized());
            tracker_.Draw(memory.get());
            BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(hwnd(), &ps);
}

void ImageEditor::OnLButtonDown(POINT point)
{
    SetFocus(hwnd());
    if (!cropMode_ || !edit_.HasPicture())
        return;
    const int hit = tracker_.HitTest(point);
    if (hit >= 0) {
        tracker_.Track(hwnd(), point, true);
        OnSelectionChanged();
        return;
    }
    if (!tracker_.IsEmpty())
        ClearSelection();
    const RECT& bounds = tracker_.Bounds();
    if (PtInRect(&bounds, point)) {
        anchor_ = point;
        tracker_.SetRect(RECT{point.x, point.y, point.x + 1, point.y + 1});
        rubberBanding_ = true;
        SetCapture(hwnd());
        OnSelectionChanged();
    }
}

void ImageEditor::OnMouseMove(POINT point)
{
    if (!rubberBanding_)
        return;
    const RECT& b = tracker_.Bounds();
    point.x = std::clamp<LONG>(point.x, b.left, b.right);
    point.y = std::clamp<LONG>(point.y, b.top, b.bottom);
    tracker_.SetRect(RECT{std::min(anchor_.x, point.x), std::min(anchor_.y, point.y), std::max(anchor_.x, point.x),
                          std::max(anchor_.y, point.y)});
    OnSelectionChanged();
}

void ImageEditor::OnLButtonUp(POINT point)
{
    if (!rubberBanding_)
        return;
    OnMouseMove(point);
    rubberBanding_ = false;
    if (GetCapture() == hwnd())
        ReleaseCapture();
}

void ImageEditor::OnSelectionChanged()
{
    RECT area = tracker_.TrueRect();
    InflateRect(&area, 1, 1);
    if (hwnd()) {
        // The dimmed surround changes with the selection: the whole picture is repainted.
        const RECT both = Union(Union(lastDrawn_, area), placement_.ShownRect());
        InvalidateRect(hwnd(), &both, FALSE);
    }
    lastDrawn_ = area;
    selection_ = tracker_.IsEmpty() || !edit_.HasPicture() ? RECT{} : placement_.ToPicture(tracker_.Normalized());
    CropSizeChanged(std::to_wstring(selection_.right - selection_.left),
                    std::to_wstring(selection_.bottom - selection_.top));
}

bool ImageEditor::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_SIZE:
        Refresh();
        return true;
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wParam));
        return true;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wParam));
        return true;
    case WM_MOUSEWHEEL: {
        const int notches = std::max(1, std::abs(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA);
        for (int i = 0; i < notches * 40; ++i)
            OnScroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN);
        return true;
    }
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_LBUTTONUP:
        OnLButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_CAPTURECHANGED:
        if (rubberBanding_ && reinterpret_cast<HWND>(lParam) != hwnd())
            rubberBanding_ = false;
        return true;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT at{};
            GetCursorPos(&at);
            ScreenToClient(hwnd(), &at);
            if (!(cropMode_ && tracker_.SetCursorFor(tracker_.HitTest(at))))
                SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            result = TRUE;
            return true;
        }
        return false;
    case WM_GETDLGCODE:
        result = DLGC_WANTCHARS;
        return true;
    case WM_KEYDOWN:
        if (GetKeyState(VK_CONTROL) < 0 && (wParam == 'Z' || wParam == 'Y')) {
            if (wParam == 'Z')
                Undo();
            else
                Redo();
            return true;
        }
        return false;
    default:
        return false;
    }
}

}  // namespace Vantor
