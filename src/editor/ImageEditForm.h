#pragma once
// The modal edit window ("编辑图片") for one picture of the upload list: the canvas, seven
// operation buttons on the left, one panel of controls at a time in the toolbar band (size,
// light, saturation, quality, rotation, crop), and OK and Cancel.
//
// The window only arranges controls and forwards the user's choices to the canvas, which does
// the pixel work at full resolution. The picture is decoded on a thread of its own while the
// window opens. OK hands the result to the item only when something changed (or a format was
// chosen): the item keeps it as a lossless file and a new thumbnail. Close and Cancel leave the
// item untouched. The item is looked up again by its id when OK is pressed, so an item removed
// meanwhile is never written to.
//
// Keys: Ctrl+Z and Ctrl+Y undo and redo one edit; Enter in the width or height box resizes;
// Escape cancels. Cancelling after edits asks first. The brightness, contrast and saturation
// sliders are tried live on what is visible and applied when let go; "约束比例" starts on.
#include <boost/signals2/signal.hpp>
#include <boost/signals2/trackable.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "editor/ImageEditor.h"
#include "editor/PictureFetch.h"
#include "platform/Dialog.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ComboBox.h"
#include "ui/Editor.h"
#include "ui/ExtForm.h"
#include "ui/Label.h"
#include "ui/TrackBar.h"
#include "ui/UiText.h"

namespace Vantor {

class ImageData;
class ListView;

class ImageEditForm : public Win::Dialog, public ExtForm, public boost::signals2::trackable {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;
    static constexpr int kMinWidth = 707;
    static constexpr int kMinHeight = 500;
    // Posted by the decoding thread (wParam: its ticket).
    static constexpr UINT kPictureReady = WM_APP + 0x120;

    // Fired on every panel switch (the canvas leaves crop mode).
    boost::signals2::signal<void()> PanelSwitched;
    // Fired once the decoded picture is on the canvas.
    boost::signals2::signal<void()> PictureShown;

    ImageEditForm(ListView& list, int32_t itemId);
    ~ImageEditForm() override;

    // Runs the window modally, owned by `parent`. True when OK gave the item a new picture
    // or format.
    bool Run(HWND parent);

    void Paint(UI::CPaintEventArgs& e) override;
    ImageEditor& Canvas() { return canvas_; }
    // Whether closing now would throw edits away.
    bool HasUnsavedEdits() const;
    // What the user is told when a resize is refused as too large, or fails.
    static std::wstring TooLargeText(int width, int height, UI::Language language = UI::Language::ZhCN);
    static std::wstring ResizeFailedText(int width, int height, UI::Language language = UI::Language::ZhCN);

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnInitDialog();
    void BuildFrame();
    void BuildPanels();
    void AddToPanel(const std::string& panel, ControlBase& control);
    void SwitchPanel(const std::string& name);
    void UpdateQualityPanel();
    void SyncFromPicture();
    void UpdateResizeButton();
    void OnSizeBoxChanged(bool widthChanged);
    void OnPictureReady(uint32_t ticket);
    void OnOk();
    // Cancel, Close and Escape: after edits the user is asked before they are thrown away.
    void OnCancel();
    void Tell(const std::wstring& text);
    std::wstring Say(UI::TextId id) const { return UI::Text(TextLanguage(), id); }
    // Moves a panel's controls to the right where a label's words are wider than the room
    // the Chinese layout gives them.
    void GiveWordsRoom();
    Adjustments SliderAdjustments() const;
    bool OnNcHitTest(POINT screen, LRESULT& result) const;
    void OnSizing(WPARAM edge, RECT* rect) const;

    ListView& list_;
    const int32_t itemId_;
    std::shared_ptr<ImageData> record_;
    PictureFetch fetch_;
    uint32_t ticket_ = 0;
    bool applied_ = false;

    std::multimap<std::string, ControlBase*> panels_;
    std::string panel_;
    bool sizeChanged_ = false;
    bool formatApplied_ = false;
    int appliedFormat_ = 0;  // the quality panel's entry and quality when "应用" was pressed
    int appliedQuality_ = 100;
    bool syncing_ = false;  // the window itself is filling the boxes

    UI::Controls::Button max_, close_, ok_, cancel_;
    UI::Controls::Button opSize_, opLight_, opSaturate_, opRotate_, opQuality_, opClip_, opRevert_;
    ImageEditor canvas_;

    // size
    Label widthLabel_, heightLabel_;
    Editor widthBox_, heightBox_;
    UI::Controls::CheckBox keepRatio_;
    UI::Controls::Button resize_, actualPixels_, fit_;
    // light
    Label brightnessLabel_, contrastLabel_;
    ExtTrackBar brightness_, contrast_;
    Editor brightnessBox_, contrastBox_;
    // saturate
    Label saturationLabel_;
    ExtTrackBar saturation_;
    Editor saturationBox_;
    UI::Controls::Button saturate_;
    // quality
    ComboBox format_;
    Label qualityLabel_;
    ExtTrackBar quality_;
    Editor qualityBox_;
    UI::Controls::Button applyFormat_;
    // rotation
    UI::Controls::Button turnLeft_, turnRight_;
    // clip
    Label cropWidthLabel_, cropHeightLabel_;
    Editor cropWidthBox_, cropHeightBox_;
    UI::Controls::Button crop_, cropRevert_;
};

// Opens the edit window for the list's item, modal, owned by `parent`. Nothing happens (false)
// for an item that is not there or whose picture has not decoded (its edit-ready flag).
bool EditListItem(ListView& list, int32_t itemId, HWND parent);

}  // namespace Vantor
