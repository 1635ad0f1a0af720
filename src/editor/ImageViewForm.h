#pragma once
// The preview window: one picture of the upload list as large as the screen allows, with
// arrows to step to the previous and next item. Modeless and topmost; it closes on its close
// button, on Escape and as soon as it loses the focus, and deletes itself with its window.
//
// It steps by item id, not by a kept index: the list may lose items while it is open (an
// upload's end removes the files sent), so the position is looked up again on every step,
// and an item that has gone is stepped from where it stood. Until its whole picture is decoded
// (on a thread of its own) the item's thumbnail stands in for it.
//
// The window, frame and all, fits the work area. It takes its size from the picture it opens
// on and keeps its size and place while the user steps through the list; where the user drags
// it, the next preview of the process opens too (kept inside the work area). A band along the
// top names the file and its place in the list ("IMG_0002.jpg    2/8").
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>

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
    static constexpr int kCaptionHeight = 28;  // the band with the name and the position

    // Opens the preview of the list's item; the window owns itself. Null when the item is
    // not there or the window cannot be made.
    static ImageViewForm* Open(ListView& list, int32_t itemId);

    // The window size for a picture: the picture fitted on both sides (never enlarged) under
    // the caption band, each side raised to the minimum, and the whole within the area.
    static SIZE WindowSizeFor(SIZE picture, SIZE area);
    // Where a window of that size goes: at `wanted` when it has one, else centred, and pushed
    // back inside the area.
    static POINT PlaceIn(SIZE window, const RECT& area, const POINT* wanted);

    void Paint(UI::CPaintEventArgs& e) override;
    // Shows another item of the list (a second request while the window is open).
    void ShowItem(int32_t itemId) { Show(itemId); }
    // Steps to the previous or next item; false at either end (or with no list left).
    bool Step(int direction);
    int32_t ShownId() const { return id_; }
    // What the caption band says: the file's name and "<position>/<count>".
    const std::wstring& CaptionText() const { return caption_; }
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
    // Sizes the window for the picture (fitted into the work area), puts it where the last
    // preview was or centres it, and lays out the buttons.
    void Place(SIZE picture);
    RECT PictureArea() const;  // the client area below the caption band
    void UpdateArrows();
    void UpdateCaption();
    int CurrentIndex() const;  // -1 when the list is empty

    ListView* list_;
    int32_t id_;
    int lastIndex_ = 0;
    SIZE pictureSize_{};
    std::wstring caption_;
    bool placed_ = false;   // sized and placed for the first picture
    bool stepped_ = false;  // the window keeps its size once the user steps
    std::shared_ptr<Gdiplus::Image> picture_;  // the thumbnail, then the fitted picture
    PictureFetch fetch_;
    uint32_t ticket_ = 0;
    UI::Controls::Button close_, previous_, next_;
};

}  // namespace Vantor
