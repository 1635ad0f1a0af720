#pragma once
// The preview window: one picture of the upload list as large as the screen allows, with
// arrows to step to the previous and next item. Modeless and topmost; it closes on its close
// button, on Escape and as soon as it loses the focus, and deletes itself with its window.
//
// It steps by item id, not by a kept index: the list may lose items while it is open (an
// upload's end removes the files sent), so the position is looked up again on every step,
// and an item that has gone is stepped from where it stood. The picture shown is fitted on
// both sides into the screen; until its whole picture is decoded (on a thread of its own) the
// item's thumbnail stands in for it.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include "editor/PictureFetch.h"
#include "platform/Window.h"
#include "ui/Button.h"
#include "ui/FormBase.h"

namespace Vantor {

class ListView;

class ImageViewForm : public Win::Window, public FormBase {
public:
    static constexpr int kMinWidth = 613;
    static constexpr int kMinHeight = 413;
    static constexpr UINT kPictureReady = WM_APP + 0x121;
    static constexpr UINT kClose = WM_APP + 0x122;

    // Opens the preview of the list's item; the window owns itself. Null when the item is
    // not there or the window cannot be made.
    static ImageViewForm* Open(ListView& list, int32_t itemId);

    // The window size for a picture: fitted on both sides into the screen (never enlarged),
    // then each side raised to the minimum.
    static SIZE WindowSizeFor(SIZE picture, SIZE screen);

    void Paint(UI::CPaintEventArgs& e) override;
    // Shows another item of the list (a second request while the window is open).
    void ShowItem(int32_t itemId) { Show(itemId); }
    // Steps to the previous or next item; false at either end (or with no list left).
    bool Step(int direction);
    int32_t ShownId() const { return id_; }
    SIZE ShownPictureSize() const { return pictureSize_; }
    // The size of the image drawn now (the thumbnail, then the fitted picture); 0 x 0 for none.
    SIZE ShownImageSize() const
    {
        return picture_ ? SIZE{static_cast<LONG>(picture_->GetWidth()), static_cast<LONG>(picture_->GetHeight())}
                        : SIZE{0, 0};
    }

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* ClassName() const override { return L"Vantor.ImageView"; }
    void OnFinalMessage() override;

private:
    ImageViewForm(ListView& list, int32_t itemId);
    bool Create();
    void Show(int32_t itemId);
    // Sizes the window for the picture (fitted into the screen), centres it and lays out the
    // buttons; returns the window's size.
    SIZE Place(SIZE picture);
    void UpdateArrows();
    int CurrentIndex() const;  // -1 when the list is empty

    ListView* list_;
    int32_t id_;
    int lastIndex_ = 0;
    SIZE pictureSize_{};
    std::shared_ptr<Gdiplus::Image> picture_;  // the thumbnail, then the fitted picture
    PictureFetch fetch_;
    uint32_t ticket_ = 0;
    UI::Controls::Button close_, previous_, next_;
};

}  // namespace Vantor
