#include "editor/ImageEditForm.h"

#include <log4cplus/loggingmacros.h>

#include <algorithm>
#include <climits>

#include "Biz/ImageData.h"
#include "Biz/Log.h"
#include "image/GdiplusBridge.h"
#include "picker/ListView.h"
#include "picker/ListViewItem.h"
#include "ui/Drawing.h"
#include "ui/MessageDialog.h"

namespace Vantor {

using UI::Controls::Button;
using UI::TextId;

namespace {

// A resize beyond these is refused with a word to the user, not attempted: each copy the
// history holds is 3 bytes a pixel, and the 32-bit process has about 1.7 GB in all.
constexpr int kLargestSide = 20000;
constexpr int64_t kLargestPixels = 64LL * 1000 * 1000;
const wchar_t* const kFormats[] = {L"", L"jpg", L"png", L"bmp"};

void PlaceButton(Button& button, ControlBase* parent, const std::wstring& caption, int left, int top)
{
    button.Create(parent, caption);
    button.SetSize(72, 25);
    button.SetMargins(left, top, 0, 0);
}

void PlaceLabel(Label& label, ControlBase* parent, const std::wstring& text, int left, int top)
{
    label.Create(parent, text);
    label.SetMargins(left, top, 0, 0);
}

void PlaceBox(Editor& box, ControlBase* parent, int left, int top, bool readOnly)
{
    box.SetReadOnly(readOnly);
    box.Attach(parent);
    box.SetSize(36, 18);
    box.SetMargins(left, top, 0, 0);
}

void PlaceSlider(ExtTrackBar& slider, ControlBase* parent, HWND window, int left, int top, int minimum, int maximum,
                 int value)
{
    slider.Create(window);
    slider.Attach(parent);
    slider.SetSize(122, 15);
    slider.SetMargins(left, top, 0, 0);
    slider.SetRange(minimum, maximum);
    slider.SetValue(value);
}

}  // namespace

ImageEditForm::ImageEditForm(ListView& list, int32_t itemId) : list_(list), itemId_(itemId)
{
    if (ListViewItem* item = list_.FindById(itemId_))
        record_ = item->Record();
}

ImageEditForm::~ImageEditForm() = default;

bool ImageEditForm::Run(HWND parent)
{
    if (!record_)
        return false;
    applied_ = false;
    DoModal(parent);
    return applied_;
}

void ImageEditForm::OnInitDialog()
{
    AttachWindow(hwnd(), 0, 0, kWidth, kHeight);
    SetIconName("IcoEdit");
    SetTitle(Say(TextId::EditTitle));
    SetWindowPos(hwnd(), nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER | SWP_NOMOVE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, GetWindowLongPtrW(hwnd(), GWL_STYLE) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

    BuildFrame();
    BuildPanels();
    if (TextLanguage() != UI::Language::ZhCN)
        GiveWordsRoom();
    SwitchPanel("size");
    LayoutChildren();

    // Centred over the owner, or over the work area without one.
    RECT over{};
    const HWND owner = GetWindow(hwnd(), GW_OWNER);
    if (!owner || !GetWindowRect(owner, &over) || IsIconic(owner))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = std::max<LONG>(work.left, over.left + ((over.right - over.left) - kWidth) / 2);
    const int y = std::max<LONG>(work.top, over.top + ((over.bottom - over.top) - kHeight) / 2);
    SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    SetFocus(canvas_.hwnd());

    // The picture is decoded off the window thread; the window shows meanwhile.
    ticket_ = fetch_.Start(record_, hwnd(), kPictureReady, [](Gdiplus::Bitmap& picture) {
        FetchedPicture fetched;
        fetched.image = CxImageFromBitmap(picture);
        fetched.ok = fetched.image != nullptr;
        return fetched;
    });
    if (ticket_ == 0)
        PostMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
    LOG4CPLUS_INFO(Log::current(), L"edit window opened for " << record_->path());
}

void ImageEditForm::BuildFrame()
{
    max_.Create(this, L"");
    max_.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "BtnMax-Hover");
    max_.SetAccessibleName(Say(TextId::Maximize));
    max_.SetSize(15, 15);
    max_.SetMargins(0, 5, 23, 0);
    max_.SetAnchor(AnchorTop | AnchorRight);
    max_.Click.connect([this] {
        ToggleMaximize();
        if (IsMaximized())
            max_.SetImages("BtnRestore-Normal", "BtnRestore-Hover", "BtnRestore-Hover", "BtnRestore-Normal");
        else
            max_.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "BtnMax-Hover");
        InvalidateRect(hwnd(), nullptr, FALSE);
    });

    close_.Create(this, L"");
    close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
    close_.SetAccessibleName(Say(TextId::Close));
    close_.SetSize(15, 15);
    close_.SetMargins(0, 5, 6, 0);
    close_.SetAnchor(AnchorTop | AnchorRight);
    close_.Click.connect([this] { OnCancel(); });

    ok_.Create(this, Say(TextId::Ok));
    ok_.SetSize(72, 25);
    ok_.SetMargins(0, 0, 85, 4);
    ok_.SetAnchor(AnchorBottom | AnchorRight);
    ok_.Click.connect([this] { OnOk(); });

    cancel_.Create(this, Say(TextId::Cancel));
    cancel_.SetSize(72, 25);
    cancel_.SetMargins(0, 0, 7, 4);
    cancel_.SetAnchor(AnchorBottom | AnchorRight);
    cancel_.Click.connect([this] { OnCancel(); });

    canvas_.SetMargins(79, 52, 7, 33);
    canvas_.SetAnchor(AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
    canvas_.Create(this);
    canvas_.PictureChanged.connect([this] { SyncFromPicture(); });
    canvas_.CropSizeChanged.connect([this](const std::wstring& width, const std::wstring& height) {
        if (cropWidthBox_.hwnd())
            SetWindowTextW(cropWidthBox_.hwnd(), width.c_str());
        if (cropHeightBox_.hwnd())
            SetWindowTextW(cropHeightBox_.hwnd(), height.c_str());
    });
    PanelSwitched.connect([this] { canvas_.SetCropMode(false); });

    PlaceButton(opSize_, this, Say(TextId::EditResize), 7, 52);
    opSize_.Click.connect([this] { SwitchPanel("size"); });
    PlaceButton(opLight_, this, Say(TextId::EditBrightness), 7, 79);
    opLight_.Click.connect([this] { SwitchPanel("light"); });
    PlaceButton(opSaturate_, this, Say(TextId::EditSaturation), 7, 106);
    opSaturate_.Click.connect([this] { SwitchPanel("saturate"); });
    PlaceButton(opRotate_, this, Say(TextId::EditRotate), 7, 133);
    opRotate_.Click.connect([this] { SwitchPanel("rotation"); });
    PlaceButton(opQuality_, this, Say(TextId::EditQuality), 7, 160);
    opQuality_.Click.connect([this] { SwitchPanel("quality"); });
    PlaceButton(opClip_, this, Say(TextId::EditCrop), 7, 187);
    opClip_.Click.connect([this] {
        SwitchPanel("clip");
        canvas_.SetCropMode(true);
    });
    PlaceButton(opRevert_, this, Say(TextId::EditRevert), 7, 214);
    opRevert_.Click.connect([this] {
        canvas_.Revert();
        sizeChanged_ = false;
        formatApplied_ = false;
    });
}

void ImageEditForm::GiveWordsRoom()
{
    // Each panel's controls were added from left to right.
    std::string panel;
    int shift = 0;
    int wordsEnd = INT_MIN;  // the right edge of the last label or check box
    for (const auto& [name, control] : panels_) {
        if (name != panel) {
            panel = name;
            shift = 0;
            wordsEnd = INT_MIN;
        }
        const RECT margins = control->GetMargins();
        int left = margins.left + shift;
        if (wordsEnd != INT_MIN && left < wordsEnd + 4)
            left = wordsEnd + 4;
        shift = left - margins.left;
        control->SetMargins(left, margins.top, margins.right, margins.bottom);
        control->Layout();
        const bool words = dynamic_cast<Label*>(control) || dynamic_cast<UI::Controls::CheckBox*>(control);
        wordsEnd = words ? control->GetBounds().right : INT_MIN;
    }
}

void ImageEditForm::AddToPanel(const std::string& panel, ControlBase& control) { panels_.emplace(panel, &control); }

void ImageEditForm::BuildPanels()
{
    const HWND window = hwnd();

    // size
    PlaceLabel(widthLabel_, this, Say(TextId::WidthLabel), 77, 32);
    PlaceBox(widthBox_, this, 114, 30, false);
    PlaceLabel(heightLabel_, this, Say(TextId::HeightLabel), 156, 32);
    PlaceBox(heightBox_, this, 192, 30, false);
    keepRatio_.Create(this, Say(TextId::KeepRatio));
    keepRatio_.SetMargins(244, 31, 0, 0);
    keepRatio_.SetChecked(true);  // a resize keeps the picture's proportions unless told
    PlaceButton(resize_, this, Say(TextId::EditResize), 322, 26);
    resize_.SetDisabled(1);
    PlaceButton(actualPixels_, this, Say(TextId::ActualPixels), 404, 26);
    PlaceButton(fit_, this, Say(TextId::FitSize), 486, 26);
    widthBox_.TextChanged.connect([this] { OnSizeBoxChanged(true); });
    heightBox_.TextChanged.connect([this] { OnSizeBoxChanged(false); });
    widthBox_.EnterPressed.connect([this] { resize_.Click(); });
    heightBox_.EnterPressed.connect([this] { resize_.Click(); });
    resize_.Click.connect([this] {
        if (resize_.IsDisabled())
            return;
        const int width = widthBox_.GetInt();
        const int height = heightBox_.GetInt();
        if (width < 1 || height < 1) {
            SyncFromPicture();
            return;
        }
        if (width > kLargestSide || height > kLargestSide ||
            static_cast<int64_t>(width) * height > kLargestPixels) {
            Tell(TooLargeText(width, height, TextLanguage()));
            return;
        }
        if (canvas_.ResizeTo(width, height))
            sizeChanged_ = true;
        else
            Tell(ResizeFailedText(width, height, TextLanguage()));
    });
    actualPixels_.Click.connect([this] { canvas_.ActualPixels(); });
    fit_.Click.connect([this] { canvas_.FitToCanvas(); });
    for (ControlBase* c : std::initializer_list<ControlBase*>{&widthLabel_, &widthBox_, &heightLabel_, &heightBox_,
                                                              &keepRatio_, &resize_, &actualPixels_, &fit_})
        AddToPanel("size", *c);

    // light: the boxes only show the sliders' values.
    PlaceLabel(brightnessLabel_, this, Say(TextId::BrightnessLabel), 73, 31);
    PlaceSlider(brightness_, this, window, 119, 31, -255, 255, 0);
    PlaceBox(brightnessBox_, this, 242, 30, true);
    brightnessBox_.SetInt(0);
    PlaceLabel(contrastLabel_, this, Say(TextId::ContrastLabel), 283, 31);
    PlaceSlider(contrast_, this, window, 334, 31, -100, 100, 0);
    PlaceBox(contrastBox_, this, 461, 30, true);
    contrastBox_.SetInt(0);
    brightness_.ValueChanged.connect([this](int value) {
        brightnessBox_.SetInt(value);
        canvas_.PreviewAdjustments(SliderAdjustments());
    });
    contrast_.ValueChanged.connect([this](int value) {
        contrastBox_.SetInt(value);
        canvas_.PreviewAdjustments(SliderAdjustments());
    });
    brightness_.DragEnded.connect([this](int) { canvas_.SetAdjustments(SliderAdjustments()); });
    contrast_.DragEnded.connect([this](int) { canvas_.SetAdjustments(SliderAdjustments()); });
    for (ControlBase* c : std::initializer_list<ControlBase*>{&brightnessLabel_, &brightness_, &brightnessBox_,
                                                              &contrastLabel_, &contrast_, &contrastBox_})
        AddToPanel("light", *c);

    // saturate: the slider sets the box, the button beside it applies the box.
    PlaceLabel(saturationLabel_, this, Say(TextId::SaturationLabel), 77, 33);
    PlaceSlider(saturation_, this, window, 131, 31, -100, 100, 0);
    PlaceBox(saturationBox_, this, 254, 30, false);
    saturationBox_.SetInt(0);
    PlaceButton(saturate_, this, Say(TextId::Adjust), 297, 26);
    // Like brightness: tried on what is visible while dragged, applied when let go.
    saturation_.ValueChanged.connect([this](int value) {
        saturationBox_.SetInt(value);
        canvas_.PreviewAdjustments(SliderAdjustments());
    });
    saturation_.DragEnded.connect([this](int) { canvas_.SetAdjustments(SliderAdjustments()); });
    saturate_.Click.connect([this] {
        Adjustments adjustments = canvas_.Edit().CurrentAdjustments();
        adjustments.saturation = std::clamp(saturationBox_.GetInt(), -100, 100);
        canvas_.SetAdjustments(adjustments);
        SyncFromPicture();
    });
    saturationBox_.EnterPressed.connect([this] { saturate_.Click(); });
    for (ControlBase* c :
         std::initializer_list<ControlBase*>{&saturationLabel_, &saturation_, &saturationBox_, &saturate_})
        AddToPanel("saturate", *c);

    // quality: the format and quality the item will be uploaded in, once applied.
    format_.Attach(this);
    format_.SetSize(90, 80);
    format_.SetMargins(71, 29, 0, 0);
    for (const std::wstring& entry : {Say(TextId::ChooseFormat), std::wstring(L"JPG"), std::wstring(L"PNG"),
                                      std::wstring(L"BMP")})
        format_.AddString(entry);
    format_.SetCurSel(0);
    format_.SelectionChanged.connect([this](int) { UpdateQualityPanel(); });
    PlaceLabel(qualityLabel_, this, Say(TextId::QualityLabel), 175, 32);
    PlaceSlider(quality_, this, window, 248, 31, 0, 100, 100);
    PlaceBox(qualityBox_, this, 374, 29, false);
    qualityBox_.SetInt(100);
    quality_.ValueChanged.connect([this](int value) { qualityBox_.SetInt(value); });
    PlaceButton(applyFormat_, this, Say(TextId::Apply), 413, 26);
    applyFormat_.Click.connect([this] {
        // What goes out is what was applied: a later change of the box without applying it
        // does not count.
        const int format = format_.GetCurSel();
        if (format > 0 && format < 4) {
            appliedFormat_ = format;
            appliedQuality_ = std::clamp(qualityBox_.GetInt(), 1, 100);
            formatApplied_ = true;
        }
    });
    for (ControlBase* c :
         std::initializer_list<ControlBase*>{&format_, &qualityLabel_, &quality_, &qualityBox_, &applyFormat_})
        AddToPanel("quality", *c);

    // rotation
    PlaceButton(turnLeft_, this, Say(TextId::RotateLeft), 71, 26);
    PlaceButton(turnRight_, this, Say(TextId::RotateRight), 150, 26);
    turnLeft_.Click.connect([this] { canvas_.RotateLeft(); });
    turnRight_.Click.connect([this] { canvas_.RotateRight(); });
    AddToPanel("rotation", turnLeft_);
    AddToPanel("rotation", turnRight_);

    // clip: the boxes show the selection's size in picture pixels.
    PlaceLabel(cropWidthLabel_, this, Say(TextId::WidthLabel), 81, 30);
    PlaceBox(cropWidthBox_, this, 114, 30, true);
    PlaceLabel(cropHeightLabel_, this, Say(TextId::HeightLabel), 160, 30);
    PlaceBox(cropHeightBox_, this, 192, 30, true);
    cropWidthBox_.SetInt(0);
    cropHeightBox_.SetInt(0);
    PlaceButton(crop_, this, Say(TextId::Crop), 332, 26);
    PlaceButton(cropRevert_, this, Say(TextId::UndoCrop), 404, 26);
    crop_.Click.connect([this] { canvas_.CropToSelection(); });
    cropRevert_.Click.connect([this] { canvas_.Revert(); });
    for (ControlBase* c : std::initializer_list<ControlBase*>{&cropWidthLabel_, &cropWidthBox_, &cropHeightLabel_,
                                                              &cropHeightBox_, &crop_, &cropRevert_})
        AddToPanel("clip", *c);
}

void ImageEditForm::SwitchPanel(const std::string& name)
{
    canvas_.ClearSelection();
    PanelSwitched();
    panel_ = name;
    for (const auto& [panel, control] : panels_)
        control->SetVisible(panel == name ? 1 : 0);
    if (name == "quality")
        UpdateQualityPanel();
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void ImageEditForm::UpdateQualityPanel()
{
    if (panel_ != "quality")
        return;
    const int selection = format_.GetCurSel();
    applyFormat_.SetVisible(selection > 0 ? 1 : 0);
    quality_.SetVisible(selection == 1 ? 1 : 0);
    qualityBox_.SetVisible(selection == 1 ? 1 : 0);
    qualityLabel_.SetVisible(selection == 1 ? 1 : 0);
    InvalidateRect(hwnd(), nullptr, FALSE);
}

Adjustments ImageEditForm::SliderAdjustments() const
{
    Adjustments adjustments = canvas_.Edit().CurrentAdjustments();
    adjustments.brightness = brightness_.GetValue();
    adjustments.contrast = contrast_.GetValue();
    adjustments.saturation = saturation_.GetValue();
    return adjustments;
}

void ImageEditForm::SyncFromPicture()
{
    // After any edit, undo or redo: the size boxes, the sliders and their boxes show the
    // picture as it stands.
    syncing_ = true;
    const SIZE size = canvas_.PictureSize();
    widthBox_.SetInt(size.cx);
    heightBox_.SetInt(size.cy);
    const Adjustments& adjustments = canvas_.Edit().CurrentAdjustments();
    brightness_.SetValue(adjustments.brightness);
    brightnessBox_.SetInt(adjustments.brightness);
    contrast_.SetValue(adjustments.contrast);
    contrastBox_.SetInt(adjustments.contrast);
    saturation_.SetValue(adjustments.saturation);
    saturationBox_.SetInt(adjustments.saturation);
    syncing_ = false;
    UpdateResizeButton();
}

void ImageEditForm::UpdateResizeButton()
{
    const SIZE size = canvas_.PictureSize();
    const bool same = widthBox_.GetInt() == size.cx && heightBox_.GetInt() == size.cy;
    resize_.SetDisabled(same || !canvas_.Edit().HasPicture() ? 1 : 0);
    resize_.InvalidateBounds();
}

void ImageEditForm::OnSizeBoxChanged(bool widthChanged)
{
    if (syncing_)
        return;
    const SIZE size = canvas_.PictureSize();
    if (keepRatio_.IsChecked() && size.cx > 0 && size.cy > 0) {
        // The other side follows in the picture's proportions.
        syncing_ = true;
        if (widthChanged)
            heightBox_.SetInt(std::max(1, static_cast<int>((static_cast<int64_t>(widthBox_.GetInt()) * size.cy +
                                                            size.cx / 2) / size.cx)));
        else
            widthBox_.SetInt(std::max(1, static_cast<int>((static_cast<int64_t>(heightBox_.GetInt()) * size.cx +
                                                           size.cy / 2) / size.cy)));
        syncing_ = false;
    }
    UpdateResizeButton();
}

void ImageEditForm::OnPictureReady(uint32_t ticket)
{
    std::optional<FetchedPicture> fetched = fetch_.Take(ticket);
    if (!fetched)
        return;
    if (!fetched->ok || !canvas_.SetImage(std::move(fetched->image))) {
        LOG4CPLUS_WARN(Log::current(), L"edit window: the picture cannot be read: " << record_->path());
        Tell(Say(TextId::EditUnreadable));
        EndDialog(0);
        return;
    }
    canvas_.FitToCanvas();
    SyncFromPicture();
    UpdateWindow(canvas_.hwnd());
    PictureShown();
}

bool ImageEditForm::HasUnsavedEdits() const { return canvas_.Edit().IsChanged() || formatApplied_; }

void ImageEditForm::OnCancel()
{
    if (HasUnsavedEdits()) {
        CMessageDialog question;
        question.SetQuestion(true);
        question.SetLanguage(TextLanguage());
        question.SetMessage(Say(TextId::EditDiscard));
        if (question.DoModal(hwnd()) != 1)
            return;
    }
    EndDialog(0);
}

void ImageEditForm::Tell(const std::wstring& text)
{
    CMessageDialog message;
    message.SetLanguage(TextLanguage());
    message.SetMessage(text);
    message.DoModal(hwnd());
}

std::wstring ImageEditForm::TooLargeText(int width, int height, UI::Language language)
{
    const int64_t megabytes = static_cast<int64_t>(width) * height * 3 / (1024 * 1024);
    return UI::FormatText(language, TextId::EditTooLarge,
                          {std::to_wstring(width), std::to_wstring(height), std::to_wstring(megabytes)});
}

std::wstring ImageEditForm::ResizeFailedText(int width, int height, UI::Language language)
{
    return UI::FormatText(language, TextId::EditNoMemory, {std::to_wstring(width), std::to_wstring(height)});
}

void ImageEditForm::OnOk()
{
    // The item is looked up again: the list may have changed while the window was open.
    ListViewItem* const item = list_.FindById(itemId_);
    if (!item || item->Record() != record_) {
        EndDialog(0);
        return;
    }
    const PictureEdit& edit = canvas_.Edit();
    if (edit.IsChanged()) {
        const std::shared_ptr<const CxImage> result = edit.Result();
        std::unique_ptr<Gdiplus::Bitmap> bitmap = result ? BitmapKeepingAlpha(*result) : nullptr;
        if (!bitmap || !record_->SetEditedImage(bitmap.get(), list_.FrameWidth(), list_.FrameHeight())) {
            Tell(Say(TextId::EditSaveNoMemory));
            return;
        }
        applied_ = true;
        LOG4CPLUS_INFO(Log::current(), L"edited picture kept: " << result->GetWidth() << L" x "
                                                                           << result->GetHeight() << L", "
                                                                           << record_->path());
    }
    if (formatApplied_ && appliedFormat_ > 0 && appliedFormat_ < 4) {
        record_->setUploadFormat(kFormats[appliedFormat_], appliedQuality_);
        applied_ = true;
    }
    item->Invalidate();
    EndDialog(0);
}

void ImageEditForm::Paint(UI::CPaintEventArgs& e)
{
    ExtForm::Paint(e);
    const RECT& b = bounds_;
    const RECT band{6, 24, b.right - 6, 52};
    GradientBox(e.dc, band, RGB(218, 230, 244), RGB(206, 221, 239));
    FrameSolid(e.dc, band, RGB(153, 187, 232));
    DrawLine(e.dc, RGB(240, 245, 250), POINT{band.left + 1, band.top + 1}, POINT{band.right - 1, band.top + 1});
    FillSolid(e.dc, RECT{b.left + 6, b.top + 51, b.right - 6, b.bottom - 32}, RGB(153, 187, 232));
    ControlBase::Paint(e);
}

bool ImageEditForm::OnNcHitTest(POINT screen, LRESULT& result) const
{
    result = HTCLIENT;
    if (!IsResizable() || IsMaximized())
        return true;
    RECT w{};
    GetWindowRect(hwnd(), &w);
    const int x = screen.x, y = screen.y;
    const bool left = x < w.left + 3, right = x >= w.right - 3, top = y < w.top + 3, bottom = y >= w.bottom - 3;
    if (left)
        result = HTLEFT;
    else if (right)
        result = HTRIGHT;
    else if (top)
        result = HTTOP;
    else if (bottom)
        result = HTBOTTOM;
    const bool nearLeft = x < w.left + 10, nearRight = x >= w.right - 10;
    const bool nearTop = y < w.top + 10, nearBottom = y >= w.bottom - 10;
    if (result == HTCLIENT) {
        if (nearTop && nearLeft)
            result = HTTOPLEFT;
        else if (nearTop && nearRight)
            result = HTTOPRIGHT;
        else if (nearBottom && nearLeft)
            result = HTBOTTOMLEFT;
        else if (nearBottom && nearRight)
            result = HTBOTTOMRIGHT;
    }
    return true;
}

void ImageEditForm::OnSizing(WPARAM edge, RECT* r) const
{
    if (r->right - r->left < kMinWidth) {
        if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
            r->left = r->right - kMinWidth;
        else
            r->right = r->left + kMinWidth;
    }
    if (r->bottom - r->top < kMinHeight) {
        if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
            r->top = r->bottom - kMinHeight;
        else
            r->bottom = r->top + kMinHeight;
    }
}

bool ImageEditForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog();
        result = FALSE;  // the focus is set here
        return true;
    case kPictureReady:
        OnPictureReady(static_cast<uint32_t>(wParam));
        return true;
    case WM_COMMAND:
        if (lParam == 0 && LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
        if (lParam == 0 && LOWORD(wParam) == IDOK)
            return true;  // Enter does not close the window: OK is pressed with the mouse
        return false;
    case WM_NCHITTEST:
        return OnNcHitTest(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}, result);
    case WM_NCLBUTTONDOWN:
        if (wParam >= HTLEFT && wParam <= HTBOTTOMRIGHT) {
            SendMessageW(hwnd(), WM_SYSCOMMAND, SC_SIZE + (wParam - HTLEFT + WMSZ_LEFT), lParam);
            result = 0;
            return true;
        }
        return false;
    case WM_SETCURSOR: {
        if (reinterpret_cast<HWND>(wParam) != hwnd())
            return false;
        const wchar_t* cursor = IDC_ARROW;
        switch (LOWORD(lParam)) {
        case HTLEFT: case HTRIGHT: cursor = IDC_SIZEWE; break;
        case HTTOP: case HTBOTTOM: cursor = IDC_SIZENS; break;
        case HTTOPLEFT: case HTBOTTOMRIGHT: cursor = IDC_SIZENWSE; break;
        case HTTOPRIGHT: case HTBOTTOMLEFT: cursor = IDC_SIZENESW; break;
        default: break;
        }
        SetCursor(LoadCursorW(nullptr, cursor));
        result = TRUE;
        return true;
    }
    case WM_SIZING:
        OnSizing(wParam, reinterpret_cast<RECT*>(lParam));
        result = TRUE;
        return true;
    case WM_KEYDOWN:
        if (GetKeyState(VK_CONTROL) < 0 && (wParam == 'Z' || wParam == 'Y')) {
            if (wParam == 'Z')
                canvas_.Undo();
            else
                canvas_.Redo();
            return true;
        }
        return false;
    default:
        return ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
    }
}

bool EditListItem(ListView& list, int32_t itemId, HWND parent)
{
    ListViewItem* const item = list.FindById(itemId);
    if (!item || !item->editReady || !item->Record())
        return false;
    ImageEditForm form(list, itemId);
    form.SetLanguage(list.TextLanguage());
    const bool applied = form.Run(parent);
    if (ListViewItem* const after = list.FindById(itemId))
        after->Invalidate();
    return applied;
}

}  // namespace Vantor
