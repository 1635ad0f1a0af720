#pragma once
// The list's item: a cell linked to one file's record, painted as a thumbnail with a caption.
// The list decides where an item goes and routes the mouse to it (content coordinates); the
// item decides how it looks and what its buttons do. ListViewPostItem (the upload list) and
// ListViewSelectItem (the picker) add their own looks and behaviour.
//
// Items are used on the window thread only. Loader threads never see an item: they hold the
// record, and the record guards its own fields.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <mutex>
#include <string>

#include "picker/IElement.h"
#include "platform/Handles.h"
#include "ui/Language.h"

namespace Vantor {

class ImageData;
class ItemDates;
class ListView;

class ListViewItem : public IElement {
public:
    explicit ListViewItem(std::shared_ptr<ImageData> record);
    // With the file's dates read already (off the window thread).
    ListViewItem(std::shared_ptr<ImageData> record, std::shared_ptr<ItemDates> dates);
    ~ListViewItem() override;

    // Virtual operations, in their fixed order (after IElement's).
    virtual void SetChecked(int checked);
    virtual void SetFlags(uint32_t flags);
    virtual bool HitButtons(POINT point) const;
    // Whether a click at the point (content coordinates) would start renaming the item.
    virtual bool RenamesAt(POINT) const { return false; }
    virtual void CommitRename();
    virtual void PaintScrolled(Gdiplus::Graphics& graphics, int scroll);
    virtual void Paint(Gdiplus::Graphics& graphics, const RECT& cell);
    virtual bool IsSameFile(const ListViewItem& other) const;
    virtual bool HasPath(const std::wstring& path) const;
    virtual void Select(POINT point);
    virtual void OnMouseDown(POINT point);
    virtual void OnClick(POINT point);
    virtual void OnHover(POINT point);
    virtual void OnLeave();
    virtual RECT ThumbRect(const RECT& cell) const;
    virtual RECT TextRect(const RECT& cell) const;
    virtual void AddSizeIfChecked(int64_t& sum) const;
    // What "select all" (Ctrl+A) does to the item: selects it.
    virtual void SelectForAll();
    // The record's upload state changed (progress, end): nothing for items that show none.
    virtual void OnUploadProgress() {}

    // Opens the rename box on the item's caption: nothing for items that cannot be renamed.
    virtual void BeginRename() {}
    // What the item says of its upload now ("等待", "45%", "上传成功", "上传失败：…"), read
    // by assistive technology; empty when it is not part of an upload.
    virtual std::wstring StatusText() const { return {}; }
    // Repaints the cell when it is visible.
    void Invalidate() const;
    void Deselect();

    // A quarter turn of the picture as the user sees it; the thumbnail is made again off the
    // window thread. Nothing for a file that does not decode.
    void RotateImageLeft();
    void RotateImageRight();
    // A new record for the path (new id, the file's own name and picture); its thumbnail is
    // made off the window thread.
    void ReloadImage(const std::wstring& path);
    // The editor's result becomes the picture; the thumbnail fits the list's frame.
    void SetEditedImage(Gdiplus::Bitmap* bitmap);

    std::shared_ptr<ImageData> Record() const;
    void SetRecord(std::shared_ptr<ImageData> record);
    // The key of the record's path (FilePathKey): two items with one key hold one file. Made
    // on first use and kept while the record's path stays the same.
    const std::wstring& PathKey() const;
    const std::shared_ptr<ItemDates>& Dates() const { return dates_; }
    ListView* Owner() const { return owner_; }
    // The language of the list the item is in (Chinese outside any list).
    UI::Language TextLanguage() const;
    int Checked() const { return checked_; }

    // Only the main panel's edit tool reads it.
    bool editReady = false;

protected:
    friend class ListView;
    void Turn(int quarterTurns);
    // The cell on the list window's client area.
    RECT ScrolledCell() const;
    // Draws the thumbnail at its own size centred in `rect` with GDI, from a copy kept as a
    // device-independent bitmap until the record's thumbnail changes: far cheaper to paint
    // than the platform's image drawing, which converts the picture on every call.
    void DrawThumbnailCentred(HDC dc, const std::shared_ptr<Gdiplus::Image>& thumbnail, const RECT& rect);

    ListView* owner_ = nullptr;
    int checked_ = 0;
    std::shared_ptr<ItemDates> dates_;

private:
    mutable std::mutex lock_;  // the record pointer
    std::shared_ptr<ImageData> record_;
    mutable std::wstring keyPath_;  // the path PathKey was made from
    mutable std::wstring key_;
    std::shared_ptr<Gdiplus::Image> cachedFrom_;  // the thumbnail the copy was made from
    GdiObject<HBITMAP> cached_;                   // premultiplied 32-bit, top-down
    SIZE cachedSize_{};
};

// The GDI+ text routine of the items: "新宋体" 12 pixels, a solid colour, the horizontal
// alignment (0 near, 1 centre, 2 far), centred vertically, trimmed with an ellipsis.
void DrawItemText(Gdiplus::Graphics& graphics, const std::wstring& text, const RECT& rect, Gdiplus::Color colour,
                  int alignment);
// The text as it fits in `width` pixels in that font: itself, or its longest start that fits
// followed by "…".
std::wstring EllipsizedText(Gdiplus::Graphics& graphics, const Gdiplus::Font& font, const std::wstring& text,
                            float width);
// A rectangle outline of the given width over (x, y, width - 1, height - 1).
void DrawItemFrame(Gdiplus::Graphics& graphics, const RECT& rect, Gdiplus::Color colour, float width);
// A picture at its own size, centred in the rectangle.
void DrawCentred(Gdiplus::Graphics& graphics, Gdiplus::Image& image, const RECT& rect);

}  // namespace Vantor
