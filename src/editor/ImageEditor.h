#pragma once
// The edit window's canvas: a scrollable child window that shows the picture being edited,
// centred or scrolled, and in crop mode lets the user draw and adjust the crop selection.
//
// The canvas owns the PictureEdit (the full-resolution picture and its history); fitting is a
// display scale only. A scaled picture is shown from a copy made once per change; at actual
// pixels the picture itself is painted, only its visible part being touched. While a slider
// is dragged the adjustments are tried on a copy of what is visible (at most the canvas's
// size) and applied to the whole picture when the slider is let go.
//
// The crop selection is kept in picture pixels: the tracker shows it in canvas coordinates
// through the placement's one conversion, so it stays on the same part of the picture when the
// canvas scrolls, is resized or maximised, or changes its scale; what is cropped is exactly
// the selection.
#include <boost/signals2/signal.hpp>

#include <memory>
#include <string>

#include "editor/CanvasPlacement.h"
#include "editor/PictureEdit.h"
#include "editor/RectTracker.h"
#include "image/CxImage.h"
#include "platform/Window.h"
#include "ui/ControlBase.h"

namespace Vantor {

class ImageEditor : public Win::Window, public ControlBase {
public:
    static constexpr COLORREF kBackground = RGB(192, 192, 192);

    // Width and height of the crop selection in picture pixels, as decimal text.
    boost::signals2::signal<void(const std::wstring&, const std::wstring&)> CropSizeChanged;
    // The picture changed (an edit, an undo, a new picture): size boxes and sliders follow.
    boost::signals2::signal<void()> PictureChanged;

    ImageEditor();
    ~ImageEditor() override;

    // Creates the child window (both scroll bars shown, disabled) and attaches to the parent.
    HWND Create(ControlBase* parent);
    void Layout() override;
    void SetVisible(int flag) override;

    // A new picture: the history starts over. False for an invalid picture.
    bool SetImage(std::unique_ptr<CxImage> picture);
    PictureEdit& Edit() { return edit_; }
    const PictureEdit& Edit() const { return edit_; }
    SIZE PictureSize() const { return edit_.Size(); }
    const CanvasPlacement& Placement() const { return placement_; }
    bool IsFitted() const { return fitted_; }

    // Edits: each one step of the history; the view follows.
    bool RotateLeft();
    bool RotateRight();
    bool ResizeTo(int width, int height);
    bool CropToSelection();
    bool SetAdjustments(const Adjustments& adjustments);
    bool Revert();
    bool Undo();
    bool Redo();
    // Tries adjustments on what is visible only (a slider being dragged).
    void PreviewAdjustments(const Adjustments& adjustments);

    // View.
    void ActualPixels();
    void FitToCanvas();

    void SetCropMode(bool on);
    bool IsCropMode() const { return cropMode_; }
    void ClearSelection();
    const RectTracker& Tracker() const { return tracker_; }
    // The selection in picture pixels (empty without one).
    RECT SelectionInPicture() const;

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* ClassName() const override { return L"Vantor.ImageEditor"; }

private:
    void OnPaint();
    void OnScroll(int bar, int code);
    void OnLButtonDown(POINT point);
    void OnMouseMove(POINT point);
    void OnLButtonUp(POINT point);
    void OnSelectionChanged();
    // After any change of picture, scale or canvas size: placement, scroll bars, the shown
    // copy, the tracker's bounds; repaints.
    void Refresh();
    void UpdateScrollBars();
    // Puts the tracker where the kept selection now shows on the canvas.
    void PlaceSelection();
    void RebuildShown();
    void AfterEdit(bool changed);

    PictureEdit edit_;
    CanvasPlacement placement_;
    bool fitted_ = true;
    std::unique_ptr<CxImage> shown_;    // the scaled copy (null at actual pixels)
    std::unique_ptr<CxImage> preview_;  // a slider's trial, covering previewAt_
    std::unique_ptr<CxImage> previewBase_;
    RECT previewAt_{};
    bool cropMode_ = false;
    bool rubberBanding_ = false;
    POINT anchor_{};
    RECT lastDrawn_{};
    RECT selection_{};  // the selection in picture pixels (empty without one)
    RectTracker tracker_;
};

}  // namespace Vantor
