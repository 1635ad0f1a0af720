#pragma once
// The upload list's item: the thumbnail at its own size in a light frame, the remark as
// caption, and on a hovered item a bar of icon buttons (turn left, turn right, edit, preview)
// plus the delete icon in the top-right corner. While an upload runs it shows the file's
// progress band instead. A click on the caption strip of a selected item renames it.
#include <boost/signals2/trackable.hpp>

#include "picker/ListViewItem.h"

namespace Vantor {

class ListViewPostItem : public ListViewItem, public boost::signals2::trackable {
public:
    enum Button { Editor, LeftCirc, RightCirc, Search, Del, Caption, kButtonCount };

    explicit ListViewPostItem(std::shared_ptr<ImageData> record);
    // The upload list's item factory (ListView::ItemFactory).
    static std::unique_ptr<ListViewItem> Make(std::shared_ptr<ImageData> record);

    void SetRect(const RECT& rect) override;
    bool HitButtons(POINT point) const override;
    bool RenamesAt(POINT point) const override;
    void CommitRename() override;
    void Paint(Gdiplus::Graphics& graphics, const RECT& cell) override;
    void Select(POINT point) override;
    void OnMouseDown(POINT point) override;
    void OnClick(POINT point) override;
    RECT ThumbRect(const RECT& cell) const override;
    RECT TextRect(const RECT& cell) const override;
    CellLook Look() const override;

    // The button whose hit rectangle holds the point (content coordinates), or kButtonCount.
    Button ButtonAt(POINT point) const;
    const RECT& ButtonRect(Button button) const { return buttons_[button]; }
    // The band the upload's progress is painted in, on the list's client area.
    RECT ProgressBand() const;

    void BeginRename() override;
    std::wstring StatusText() const override;
    // Upload notifications (window thread): repaint the band when it is visible.
    void OnUploadProgress() override;
    void OnUploadCompleted();

private:
    void PaintProgress(Gdiplus::Graphics& graphics, const RECT& cell);
    void InvalidateBand() const;

    RECT buttons_[kButtonCount]{};
};

}  // namespace Vantor
