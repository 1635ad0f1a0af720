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

namespace Vantor {

// "0byte", "<n>bytes" below 1 KiB, else the shell's short size ("1.50 MB").
std::wstring PickedSizeText(int64_t bytes);
// "当前选择：<checked>/<count> 张照片".
std::wstring PickedCountText(int checked, int count);

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
    void ShowLimitMessage();

    UI::Controls::Button cancel_;
    UI::Controls::Button ok_;
    UI::Controls::Button close_;
    HWND tree_ = nullptr;
    UI::Controls::CheckBox selectAll_;
    Label counter_;
    Label size_;
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
    std::unique_ptr<FolderLister> lister_;
    uint32_t listingRun_ = 0;
    bool listing_ = false;
};

}  // namespace Vantor
