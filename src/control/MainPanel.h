#pragma once
// The main panel: the root of the control window's owner-drawn control tree. It paints the
// background (button strip, hint strip, list area), holds the top row of buttons and tools,
// the hint line, the upload list and the empty-list controls, and moves between its states:
//   Empty      the list is hidden, the big add button and its line show; upload disabled.
//   Filled     the list shows; upload enabled; the tools follow the selection.
//   Uploading  cancel replaces upload; add, select all, sort and the four tools are disabled
//              (the engine holds the files by record and id, but the user must not change the
//              list under a running task); the hint line shows the total progress.
// The panel belongs to the control object and outlives its windows: ReleaseView lets the
// window go, MakeView shows the same list and state in the next one. Everything runs on the
// window thread. The control behind the panel (PanelHost) starts uploads
// and opens the editor and the preview; whether a task runs, and its files, the panel and
// its list read from the control's upload session and follow its changes. The panel holds a lease on the skin
// store for as long as it exists.
#include "control/PanelHost.h"
#include "control/TaskSummaryText.h"
#include "control/UploadSession.h"
#include "picker/ListView.h"
#include "picker/ListViewPostItem.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ComboBox.h"
#include "ui/ControlBase.h"
#include "ui/IconLabel.h"
#include "ui/ImageLister.h"
#include "ui/Label.h"
#include "ui/RootAccess.h"
#include "ui/UiText.h"

#include <memory>
#include <string>
#include <vector>

namespace Vantor {

class ImageData;

class MainPanel : public ControlBase {
public:
    // The control window's timer that refreshes the progress line while a task runs.
    static constexpr UINT_PTR kProgressTimer = 0x4650;
    // The control window's timer that ends the offer to undo a removal in the hint line.
    static constexpr UINT_PTR kUndoOfferTimer = 0x4651;
    // How long the hint line offers to undo a removal.
    static constexpr UINT kUndoOfferMs = 8000;

    enum class State { Empty, Filled, Uploading };

    // Builds the panel's controls, in their painting order, and connects their handlers,
    // once: the panel, its list and its state live as long as the control object.
    MainPanel(PanelHost& host, UploadSession& session);
    // A view of the panel in this control window (made on every activation): the native
    // windows (list, sort box) are made in it and the panel shows its state. The panel
    // always fills the window's client area.
    void MakeView(HWND window);

    // The panel's keyboard focus (Tab order: add, upload or cancel, big add, select all, the
    // four tools, sort, list) and accessible object; the control window passes its keyboard,
    // focus and WM_GETOBJECT messages here and has the focus rectangle painted.
    UI::RootAccess& Access() { return access_; }

    // Shows and names everything in this language (the page's "Language") and redraws; a
    // new language also moves the top row so that its words get their room. Chinese until
    // told otherwise.
    void ApplyLanguage(UI::Language language);

    // The upload list: hidden while it is empty.
    ListView& List() { return list_; }
    State CurrentState() const;

    // The page's "addFile": no files or size limit, no path twice.
    void AddFromPage(const std::wstring& path);
    // After files came in from elsewhere: the list shows when it holds items.
    void RefreshAfterAdd();

    // The operations of the panel's buttons and tools (also what a click on them runs).
    void AddImages();
    void StartUpload();
    void CancelUpload();
    void SelectAll();
    void Sort(int index);
    void Edit();
    void Rotate(bool left);
    void Delete();
    // Brings back the items of the user's last removal (Ctrl+Z, the hint line's undo entry).
    void Undo();

    // A file of the running task reported; the progress line follows.
    void OnUploadFileChanged();
    // The progress timer fired.
    void OnProgressTimer();
    // One of the panel's timers fired; false for a timer that is not the panel's.
    bool OnTimer(UINT_PTR id);
    // A key the control window got that the panel acts on wherever the focus is in it
    // (Ctrl+Z); false for the others.
    bool OnKeyDown(WPARAM key);
    // Whether the hint line offers to undo a removal now, and its undo entry.
    bool OffersUndo() const { return undo_.IsVisible(); }
    const UI::Controls::IconLabel& UndoEntry() const { return undo_; }
    const std::wstring& HintText() const { return hint_.GetText(); }
    // Pictures added again under another path were left out: the hint line says how many.
    void ShowDuplicatesSkipped(int skipped);
    // Tells the user how many files an addition refused for their kind.
    void ShowOtherKindsRefused(int refused);

    // The smallest client area the panel lays out in: below it the panel keeps this layout
    // and the window shows its top left part, so nothing ever overlaps.
    static constexpr int kMinWidth = 392;
    static constexpr int kMinHeight = 160;
    // Whether the tools show their icons only (a narrow panel): their captions are tooltips.
    bool ToolsShowIconsOnly() const { return iconsOnly_; }
    // The tooltip window of the icon-only tools (null while captions show or without window).
    HWND ToolTips() const { return tips_; }

    void Paint(UI::CPaintEventArgs& e) override;
    void Layout() override;
    void ReleaseView() override;

private:
    void BuildTree();
    void ShowLanguage();
    std::wstring Say(UI::TextId id) const;
    void ShowState();
    // A task started, was cancelled or ended (after the files it uploaded left the list).
    void OnSessionChanged();
    void UpdateTools();
    void ListMaybeEmpty();
    void ShowList(bool show);
    void SetToolsEnabled(bool enabled);
    void SetHint(const std::wstring& text);
    void UpdateProgressLine();
    void ShowMessage(const std::wstring& text);
    TaskSummary SummariseTask() const;
    // The hint line goes back to its usual words when it still shows a task's end.
    void EndTaskSummary();
    // Places the top row for the width: captions where they fit, icons only where not;
    // `beyond` is how far that width reaches past the window's right edge.
    void ArrangeTopRow(int width, int beyond);
    // Places the big add button and its line in the middle of the list area.
    void ArrangeEmptyState(int width, int height);
    void UpdateToolTips();
    void OfferUndo(int count);
    void EndUndoOffer();

    const UI::SkinLease skins_ = UI::ImageLister::Acquire();
    PanelHost& host_;
    UploadSession& session_;
    ListView list_{&ListViewPostItem::Make};
    UI::Controls::Button add_;
    UI::Controls::Button upload_;
    UI::Controls::Button cancel_;
    UI::Controls::CheckBox selectAll_;
    UI::Controls::Button bigAdd_;
    Label emptyText_;
    UI::Controls::IconLabel edit_;
    UI::Controls::IconLabel rotateLeft_;
    UI::Controls::IconLabel rotateRight_;
    UI::Controls::IconLabel delete_;
    ComboBox sort_;
    Label hint_;
    UI::Controls::IconLabel undo_;  // after the hint line: shown while a removal can be undone
    UI::RootAccess access_{*this};  // after the controls it reads, so that it goes first

    int sortIndex_ = 0;  // the order the list is in; -1 once a drag gave it the user's own
    bool summaryShown_ = false;  // the hint line says what the last task did
    bool iconsOnly_ = false;
    HWND tips_ = nullptr;  // owned by the panel's window: it goes with it
    boost::signals2::scoped_connection sessionChanged_;  // last: it goes before what it calls
};

// The panel's background for a client area of the given size, drawn at dc's origin.
void PaintPanelBackground(HDC dc, int width, int height);

}  // namespace Vantor
