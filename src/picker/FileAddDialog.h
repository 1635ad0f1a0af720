#pragma once
// The add-images dialog: the shell's folder tree on the left, a thumbnail picker of the chosen
// folder's pictures on the right, the counters, select all, OK and Cancel. OK copies the
// checked pictures into the upload list within the page's limits.
//
// Design: a folder is listed on another thread (FolderLister) into records without pictures;
// the picker's own loader makes the thumbnails on other threads, visible ones first, exactly
// as the upload list does, so a folder of hundreds of large photos opens at once, the window
// thread stays free and memory holds only thumbnails. The upload list's items share the picker's records, so a confirmed
// picture is not decoded again.
//
// Checks are kept per folder for the life of the dialog: leaving a folder keeps its checked
// pictures, coming back checks them again as they are listed, the counters count every
// folder's, and OK takes them all, folder by folder in the order the folders were opened.
//
// The tree is filled one level at a time, on a node's first expansion; each node carries a
// FolderNode that links it to its shell item. Folders without a file-system path (My
// Computer, the Control Panel) list nothing. Enter acts as OK and Escape as Cancel.
// Window thread only; the dialog lives for one modal run.
#include <windows.h>
#include <commctrl.h>

#include <boost/signals2/trackable.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "picker/DesktopFolder.h"
#include "picker/FolderLister.h"
#include "picker/ListView.h"
#include "picker/SystemIconList.h"
#include "platform/Dialog.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ExtForm.h"
#include "ui/Label.h"
#include "ui/UiText.h"

namespace Vantor {

// The dialog's words, in the dialog's language (SetLanguage before DoModal).
// "共" and the size as the panel writes sizes ("共0 B", "共12.0 KB", "共1.50 MB").
std::wstring PickedSizeText(int64_t bytes, UI::Language language = UI::Language::ZhCN);
// "当前选择：<checked>/<count> 张照片" for the folder shown; with pictures checked in other
// folders too, "当前选择：<all> 张照片（本文件夹 <checked>/<count>）".
std::wstring PickedCountText(int checked, int count, int checkedElsewhere = 0,
                             UI::Language language = UI::Language::ZhCN);
// The message when a pick stops at a limit: the list's files limit (listFull) or the most
// one pick takes; what was added, how many were left out, and what to do.
std::wstring LimitMessage(bool listFull, int limit, int added, int leftOut,
                          UI::Language language = UI::Language::ZhCN);

class CFileAddDialog : public Win::Dialog, public ExtForm, public boost::signals2::trackable {
public:
    static constexpr int Width = 820;
    static constexpr int Height = 520;
    static constexpr int TreeId = 3;
    // Most pictures one pick may take, whatever the page allows.
    static constexpr int kMostPerPick = 100;
    // The folder lister's report (wParam: the listing's number).
    static constexpr UINT kFolderListed = WM_APP + 21;

    CFileAddDialog();
    ~CFileAddDialog() override;

    // Before the run: where confirmed pictures go (not owned), the page's limits, and the
    // folder to open (the last one the user chose, or the page's "setFolder").
    void SetUploadList(ListView* list) { uploadList_ = list; }
    void SetLimits(const AddLimits& limits) { limits_ = limits; }
    void SetFolder(const std::wstring& folder) { folder_ = folder; }
    // The folder the user chose last (the one given when none was chosen).
    const std::wstring& Folder() const { return folder_; }

    // What the window shows (for its owner and tests).
    ListView& Picker() { return picker_; }
    HWND Tree() const { return tree_; }
    HTREEITEM ComputerNode() const { return computer_; }
    // The folder path of a tree node (empty for virtual folders and placeholders).
    std::wstring PathOf(HTREEITEM node) const;
    const std::wstring& CounterText() const { return counter_.GetText(); }
    const std::wstring& SizeText() const { return size_.GetText(); }
    bool SelectAllChecked() const { return selectAll_.IsChecked(); }
    // Pictures checked in every folder opened so far, the one shown included.
    int CheckedInAllFolders() const;
    // The folder shown now (empty for a virtual folder).
    const std::wstring& ShownFolder() const { return shownFolder_; }
    const std::wstring& PathText() const { return path_.GetText(); }
    // Whether the selected folder is still being listed.
    bool IsListing() const { return listing_; }
    // Pictures this run added to the upload list.
    int AddedCount() const { return added_; }

    // The handlers (window thread).
    void OnFolderExpanding(HTREEITEM node);
    void OnFolderSelected(HTREEITEM node);
    void OnSelectAll();
    void UpdateCounters();
    void StopListing();  // the folder's listing and the picker's thumbnails
    void OnOK();
    void OnCancel();
    // Expands the tree down to the last folder and selects it (which lists it).
    void OpenLastFolder(HTREEITEM computer);

    void Paint(UI::CPaintEventArgs& e) override;

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct FolderNode {
        bool populated = false;
        Shell::Item* item = nullptr;
    };
    // The checked pictures of one folder, in display order.
    struct KeptChecks {
        std::wstring folder;
        std::vector<std::shared_ptr<ImageData>> records;
    };

    static int CALLBACK CompareComputerChildren(LPARAM a, LPARAM b, LPARAM);
    void OnInitDialog();
    void CreateTree();
    void BuildTree();
    void PlaceWindow();
    HTREEITEM InsertNode(HTREEITEM parent, Shell::Item& item, bool placeholder);
    FolderNode* NodeOf(HTREEITEM node) const;
    void Populate(HTREEITEM node);
    void OnFolderListed(uint32_t run);
    bool Descend(HTREEITEM node);
    void ShowLimitMessage(const std::wstring& text);
    std::wstring Say(UI::TextId id) const { return UI::Text(TextLanguage(), id); }
    void ShowPath(const std::wstring& text);
    KeptChecks* KeptFor(const std::wstring& folder);
    // The shown folder's checks (those listed and those still to come) into kept_.
    void KeepChecks();
    // Every checked picture: folder by folder, the shown one as the picker has it.
    std::vector<std::shared_ptr<ImageData>> AllChecked() const;
    // Checked pictures of the other folders (and, while listing, the shown folder's still to
    // come); their size too when asked.
    int CheckedElsewhere(int64_t* size) const;

    UI::Controls::Button cancel_;
    UI::Controls::Button ok_;
    UI::Controls::Button close_;
    HWND tree_ = nullptr;
    UI::Controls::CheckBox selectAll_;
    Label counter_;
    Label size_;
    Label path_;  // the shown folder's path, above the pictures
    ListView picker_;
    ListView* uploadList_ = nullptr;
    Shell::SystemIconList icons_;
    Shell::DesktopFolder folders_;

    std::vector<std::unique_ptr<FolderNode>> nodes_;
    HTREEITEM computer_ = nullptr;
    AddLimits limits_;
    std::wstring folder_;
    int added_ = 0;
    bool ended_ = false;
    GdiObject<HFONT> treeFont_;
    std::wstring shownFolder_;
    std::vector<KeptChecks> kept_;                // in the order the folders were opened
    // The shown folder's kept checks not listed yet, by path key.
    std::vector<std::pair<std::wstring, std::shared_ptr<ImageData>>> coming_;
    std::unique_ptr<FolderLister> lister_;
    uint32_t listingRun_ = 0;
    bool listing_ = false;
};

}  // namespace Vantor
