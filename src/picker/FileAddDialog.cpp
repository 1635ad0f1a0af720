#include "picker/FileAddDialog.h"

#include <shlwapi.h>

#include <algorithm>
#include <climits>

#include "Biz/ImageData.h"
#include "Biz/ByteSizeText.h"
#include "picker/FilePathKey.h"
#include "picker/FolderPath.h"
#include "picker/ListViewSelectItem.h"
#include "ui/MessageDialog.h"
#include "ui/SkinTable.h"
#include "ui/Theme.h"

namespace Vantor {

namespace {

constexpr int kPathTop = 37;     // the folder's path, above the pictures
constexpr int kPickerTop = 55;
constexpr int kPickerHeight = 484 - kPickerTop;

HTREEITEM ChildOf(HWND tree, HTREEITEM node)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(node)));
}

HTREEITEM NextOf(HWND tree, HTREEITEM node)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(node)));
}

}  // namespace

std::wstring PickedSizeText(int64_t bytes, UI::Language language)
{
    return UI::FormatText(language, UI::TextId::PickedSize, {ByteSizeText(bytes > 0 ? static_cast<uint64_t>(bytes) : 0)});
}

std::wstring PickedCountText(int checked, int count, int checkedElsewhere, UI::Language language)
{
    if (checkedElsewhere <= 0)
        return UI::FormatText(language, UI::TextId::PickedCount, {std::to_wstring(checked), std::to_wstring(count)});
    return UI::FormatText(language, UI::TextId::PickedCountElsewhere,
                          {std::to_wstring(checked + checkedElsewhere), std::to_wstring(checked), std::to_wstring(count)});
}

std::wstring LimitMessage(bool listFull, int limit, int added, int leftOut, UI::Language language)
{
    return UI::FormatText(language, listFull ? UI::TextId::LimitListFull : UI::TextId::LimitPick,
                          {std::to_wstring(limit), std::to_wstring(added), std::to_wstring(leftOut)});
}

CFileAddDialog::CFileAddDialog() = default;

CFileAddDialog::~CFileAddDialog()
{
    // Nothing here waits: a listing still on a slow file ends on its own, and the picker's
    // thumbnail threads are told to stop.
    lister_.reset();
    picker_.StopThumbnailLoading();
}

// ---- creation ------------------------------------------------------------------------------

void CFileAddDialog::OnInitDialog()
{
    AttachWindow(hwnd(), 0, 0, Width, Height);
    const UI::Language language = TextLanguage();
    SetTitle(Say(UI::TextId::AddDialogTitle));
    SetIconName("IcoAdd");

    selectAll_.Create(this, Say(UI::TextId::SelectAll));
    selectAll_.SetMargins(208, 496, 0, 0);
    selectAll_.Layout();
    counter_.Create(this, Say(UI::TextId::PickedNone));
    // Longer words than the Chinese ones push the counter to the right of the box.
    counter_.SetMargins(std::max<int>(259, selectAll_.GetBounds().right + 12), 496, 0, 0);
    size_.Create(this, PickedSizeText(0, language));
    size_.SetMargins(371, 496, 0, 0);
    path_.Create(this, L"");
    path_.SetMargins(195, kPathTop, 0, 0);

    ok_.Create(this, L"");
    const std::string okImage = UI::SkinInLanguage("BtnOk", language);
    ok_.SetImages(okImage, okImage, okImage, okImage);
    ok_.SetAccessibleName(Say(UI::TextId::Ok));
    ok_.SetSize(51, 24);
    ok_.SetMargins(0, 0, 73, 6);
    ok_.SetAnchor(AnchorBottom | AnchorRight);
    cancel_.Create(this, L"");
    const std::string cancelImage = UI::SkinInLanguage("BtnCancel", language);
    cancel_.SetImages(cancelImage, cancelImage, cancelImage, cancelImage);
    cancel_.SetAccessibleName(Say(UI::TextId::Cancel));
    cancel_.SetSize(51, 24);
    cancel_.SetMargins(0, 0, 16, 6);
    cancel_.SetAnchor(AnchorBottom | AnchorRight);
    close_.Create(this, L"");
    close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
    close_.SetAccessibleName(Say(UI::TextId::Close));
    close_.SetSize(15, 15);
    close_.SetMargins(0, 5, 6, 0);
    close_.SetAnchor(AnchorTop | AnchorRight);

    selectAll_.Click.connect([this] { OnSelectAll(); });
    ok_.Click.connect([this] { OnOK(); });
    cancel_.Click.connect([this] { OnCancel(); });
    close_.Click.connect([this] { OnCancel(); });

    lister_ = std::make_unique<FolderLister>(hwnd(), kFolderListed);
    // The picker takes no drops: pictures come from the tree.
    picker_.SetAcceptsDrops(false);
    picker_.SetArrowsSelect(false);  // the arrows move the focus; Space marks a picture
    picker_.Create(hwnd(), 191, kPickerTop, 628, kPickerHeight);
    picker_.SetInteractive(false);
    picker_.SelectionChanged.connect([this](int) { UpdateCounters(); });

    CreateTree();
    BuildTree();
    PlaceWindow();
}

void CFileAddDialog::CreateTree()
{
    tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                                      TVS_SHOWSELALWAYS,
                            1, 33, 189, 450, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(TreeId)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!tree_)
        return;
    // The interface font: it has the Chinese names the shell gives.
    treeFont_.reset(Theme::CreateUiFont(FW_NORMAL));
    if (treeFont_)
        SendMessageW(tree_, WM_SETFONT, reinterpret_cast<WPARAM>(treeFont_.get()), FALSE);
    SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(icons_.Handle()));
}

HTREEITEM CFileAddDialog::InsertNode(HTREEITEM parent, Shell::Item& item, bool placeholder)
{
    auto data = std::make_unique<FolderNode>();
    data->item = &item;
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(item.DisplayName().c_str());
    insert.item.iImage = insert.item.iSelectedImage = item.IconIndex();
    insert.item.lParam = reinterpret_cast<LPARAM>(data.get());
    const auto node = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!node)
        return nullptr;
    nodes_.push_back(std::move(data));
    if (placeholder) {
        // Every folder shows an expand button until its first expansion looks inside.
        TVINSERTSTRUCTW loading{};
        loading.hParent = node;
        loading.hInsertAfter = TVI_LAST;
        loading.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        loading.item.pszText = const_cast<wchar_t*>(UI::Text(TextLanguage(), UI::TextId::Loading));
        loading.item.iImage = loading.item.iSelectedImage = item.IconIndex();
        loading.item.lParam = 0;
        SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&loading));
    }
    return node;
}

void CFileAddDialog::BuildTree()
{
    if (!tree_)
        return;
    const HTREEITEM root = InsertNode(TVI_ROOT, folders_.Root(), false);
    if (!root)
        return;
    std::vector<Shell::Item*> children;
    folders_.EnumDesktopChildren(children);
    for (Shell::Item* child : children) {
        const HTREEITEM node = InsertNode(root, *child, true);
        if (node && folders_.IsComputer(*child))
            computer_ = node;
    }
    if (FolderNode* data = NodeOf(root))
        data->populated = true;
    SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    OpenLastFolder(computer_);
}

void CFileAddDialog::PlaceWindow()
{
    // Centred over the owner, else over the work area of the nearest monitor; kept inside
    // that area.
    RECT area{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    const HWND owner = GetWindow(hwnd(), GW_OWNER);
    if (GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd(), MONITOR_DEFAULTTONEAREST), &monitor))
        area = monitor.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT over = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &over);
    int x = over.left + ((over.right - over.left) - Width) / 2;
    int y = over.top + ((over.bottom - over.top) - Height) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - Width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - Height));
    SetWindowPos(hwnd(), nullptr, x, y, Width, Height, SWP_NOZORDER);
}

// ---- the tree ------------------------------------------------------------------------------

CFileAddDialog::FolderNode* CFileAddDialog::NodeOf(HTREEITEM node) const
{
    if (!tree_ || !node)
        return nullptr;
    TVITEMW item{};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = node;
    if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<FolderNode*>(item.lParam);
}

std::wstring CFileAddDialog::PathOf(HTREEITEM node) const
{
    const FolderNode* data = NodeOf(node);
    return data && data->item ? data->item->Path() : std::wstring();
}

void CFileAddDialog::Populate(HTREEITEM node)
{
    FolderNode* data = NodeOf(node);
    if (!data || data->populated || !data->item)
        return;
    data->populated = true;
    if (const HTREEITEM placeholder = ChildOf(tree_, node))
        SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(placeholder));
    std::vector<Shell::Item*> children;
    folders_.EnumChildren(*data->item, children);
    for (Shell::Item* child : children)
        InsertNode(node, *child, true);
    if (folders_.IsComputer(*data->item)) {
        TVSORTCB sort{};
        sort.hParent = node;
        sort.lpfnCompare = &CFileAddDialog::CompareComputerChildren;
        SendMessageW(tree_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
    }
}

int CALLBACK CFileAddDialog::CompareComputerChildren(LPARAM a, LPARAM b, LPARAM)
{
    // Drives and folders (with a path) first, by path; the virtual folders keep their order.
    const auto* left = reinterpret_cast<const FolderNode*>(a);
    const auto* right = reinterpret_cast<const FolderNode*>(b);
    if (!left || !right || !left->item || !right->item)
        return 0;
    const Shell::Item& l = *left->item;
    const Shell::Item& r = *right->item;
    if (l.HasPath() != r.HasPath())
        return l.HasPath() ? -1 : 1;
    if (!l.HasPath())
        return 0;
    return CompareStringOrdinal(l.Path().c_str(), -1, r.Path().c_str(), -1, TRUE) - CSTR_EQUAL;
}

void CFileAddDialog::OnFolderExpanding(HTREEITEM node) { Populate(node); }

void CFileAddDialog::OnFolderSelected(HTREEITEM node)
{
    // What was checked here stays checked for when the user comes back.
    KeepChecks();
    selectAll_.SetChecked(false);
    picker_.Clear();
    size_.SetText(PickedSizeText(0, TextLanguage()));
    counter_.SetText(Say(UI::TextId::PickedNone));
    const FolderNode* data = NodeOf(node);
    const std::wstring path = data && data->item ? data->item->Path() : std::wstring();
    if (!path.empty())
        folder_ = path;
    shownFolder_ = path;
    coming_.clear();
    if (KeptChecks* kept = KeptFor(path)) {
        for (const auto& record : kept->records)
            coming_.emplace_back(FilePathKey(record->path()), record);
    } else if (!path.empty()) {
        kept_.push_back(KeptChecks{path, {}});
    }
    ShowPath(data && data->item ? (path.empty() ? data->item->DisplayName() : path) : std::wstring());
    picker_.Arrange();
    picker_.UpdateScrollBar();
    InvalidateRect(picker_.hwnd(), nullptr, FALSE);
    // A folder without a file-system path (My Computer, the Control Panel) lists nothing.
    listing_ = true;
    listingRun_ = lister_ ? lister_->Start(path, limits_.kinds) : 0;
    if (!lister_)
        listing_ = false;
    UpdateCounters();
}

void CFileAddDialog::OnFolderListed(uint32_t run)
{
    if (!lister_ || run != listingRun_ || !listing_)
        return;
    bool finished = false;
    FolderLister::Records records = lister_->Take(run, finished);
    for (auto& listed : records) {
        // A picture checked on an earlier visit is checked again.
        bool checked = false;
        if (!coming_.empty() && listed.record) {
            const std::wstring key = FilePathKey(listed.record->path());
            const auto found = std::find_if(coming_.begin(), coming_.end(), [&](const auto& c) { return c.first == key; });
            if (found != coming_.end()) {
                coming_.erase(found);
                checked = true;
            }
        }
        ListViewItem* item =
            picker_.AddItem(std::make_unique<ListViewSelectItem>(std::move(listed.record), std::move(listed.dates)));
        if (item && checked)
            item->SetChecked(1);
    }
    if (!records.empty()) {
        const int scroll = picker_.ScrollPos();
        picker_.Arrange();
        picker_.UpdateScrollBar();
        picker_.ScrollTo(scroll);
        InvalidateRect(picker_.hwnd(), nullptr, FALSE);
        picker_.StartThumbnailLoading();
    }
    if (finished) {
        listing_ = false;
        // Kept pictures the folder no longer holds are let go.
        coming_.clear();
    }
    UpdateCounters();
}

void CFileAddDialog::ShowPath(const std::wstring& text)
{
    // Long paths lose their middle ("C:\photos\...\2019") to fit above the pictures.
    std::wstring shown = text;
    if (!shown.empty() && hwnd()) {
        const HDC dc = GetDC(hwnd());
        const HGDIOBJ old = SelectObject(dc, Theme::Instance().NormalFont());
        std::vector<wchar_t> buffer(shown.begin(), shown.end());
        buffer.resize(std::max<size_t>(buffer.size() + 1, MAX_PATH), L'\0');
        if (PathCompactPathW(dc, buffer.data(), Width - 195 - 12))
            shown = buffer.data();
        SelectObject(dc, old);
        ReleaseDC(hwnd(), dc);
    }
    path_.SetText(shown);
    path_.Layout();
    path_.InvalidateBounds();
}

CFileAddDialog::KeptChecks* CFileAddDialog::KeptFor(const std::wstring& folder)
{
    if (folder.empty())
        return nullptr;
    const auto found =
        std::find_if(kept_.begin(), kept_.end(), [&](const KeptChecks& k) { return IsSameFolder(k.folder, folder); });
    return found == kept_.end() ? nullptr : &*found;
}

void CFileAddDialog::KeepChecks()
{
    KeptChecks* kept = KeptFor(shownFolder_);
    if (!kept)
        return;
    kept->records.clear();
    for (ListViewItem* item : picker_.CheckedItems(INT_MAX))
        if (item->Record())
            kept->records.push_back(item->Record());
    // Those not listed yet stay checked too.
    for (const auto& coming : coming_)
        kept->records.push_back(coming.second);
    coming_.clear();
}

std::vector<std::shared_ptr<ImageData>> CFileAddDialog::AllChecked() const
{
    std::vector<std::shared_ptr<ImageData>> all;
    for (const KeptChecks& kept : kept_) {
        if (!shownFolder_.empty() && IsSameFolder(kept.folder, shownFolder_)) {
            for (ListViewItem* item : picker_.CheckedItems(INT_MAX))
                if (item->Record())
                    all.push_back(item->Record());
            for (const auto& coming : coming_)
                all.push_back(coming.second);
        } else {
            all.insert(all.end(), kept.records.begin(), kept.records.end());
        }
    }
    return all;
}

int CFileAddDialog::CheckedElsewhere(int64_t* size) const
{
    int count = 0;
    int64_t bytes = 0;
    for (const KeptChecks& kept : kept_) {
        if (!shownFolder_.empty() && IsSameFolder(kept.folder, shownFolder_))
            continue;
        count += static_cast<int>(kept.records.size());
        for (const auto& record : kept.records)
            bytes += static_cast<int64_t>(record->fileSize());
    }
    for (const auto& coming : coming_) {
        ++count;
        bytes += static_cast<int64_t>(coming.second->fileSize());
    }
    if (size)
        *size = bytes;
    return count;
}

int CFileAddDialog::CheckedInAllFolders() const { return picker_.CheckedCount() + CheckedElsewhere(nullptr); }

void CFileAddDialog::OpenLastFolder(HTREEITEM computer)
{
    if (!computer || folder_.empty() || folder_.size() >= MAX_PATH)
        return;
    Populate(computer);
    SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(computer));
    const std::wstring root = FolderRoot(folder_);
    if (root.empty())
        return;
    for (HTREEITEM child = ChildOf(tree_, computer); child; child = NextOf(tree_, child)) {
        const FolderNode* data = NodeOf(child);
        if (data && data->item && IsSameFolder(data->item->Path(), root)) {
            if (IsSameFolder(data->item->Path(), folder_))
                SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
            else
                Descend(child);
            return;
        }
    }
}

bool CFileAddDialog::Descend(HTREEITEM node)
{
    Populate(node);
    SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
    for (HTREEITEM child = ChildOf(tree_, node); child; child = NextOf(tree_, child)) {
        const FolderNode* data = NodeOf(child);
        if (!data || !data->item || !data->item->HasPath())
            continue;
        const std::wstring& path = data->item->Path();
        if (IsSameFolder(path, folder_)) {
            SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
            SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(child));
            return true;
        }
        if (IsFolderWithin(folder_, path))
            return Descend(child);
    }
    return false;
}

// ---- the picker ----------------------------------------------------------------------------

void CFileAddDialog::OnSelectAll()
{
    picker_.SetAllChecked(selectAll_.IsChecked() ? 1 : 0);
    UpdateCounters();
}

void CFileAddDialog::UpdateCounters()
{
    int64_t elsewhereSize = 0;
    const int elsewhere = CheckedElsewhere(&elsewhereSize);
    const int checked = picker_.CheckedCount();
    counter_.SetText(PickedCountText(checked, picker_.Count(), elsewhere, TextLanguage()));
    // The box says whether everything shown is checked, however that came about (Ctrl+A,
    // clicks on the pictures).
    const bool all = picker_.Count() > 0 && checked == picker_.Count();
    if (selectAll_.IsChecked() != all)
        selectAll_.SetChecked(all);
    // The size follows the counter, which grows with its numbers.
    size_.InvalidateBounds();
    size_.SetMargins(std::max<int>(371, counter_.GetBounds().right + 12), 496, 0, 0);
    size_.Layout();
    size_.SetText(PickedSizeText(picker_.CheckedSize() + elsewhereSize, TextLanguage()));
}

void CFileAddDialog::ShowLimitMessage(const std::wstring& text)
{
    // Owned by this dialog, which it keeps disabled while it shows (the active window may be
    // the page's, which is disabled already).
    CMessageDialog message;
    message.SetLanguage(TextLanguage());
    message.SetMessage(text);
    message.DoModal(hwnd());
}

void CFileAddDialog::StopListing()
{
    if (lister_)
        lister_->Stop();
    listing_ = false;
    picker_.StopThumbnailLoading();
}

void CFileAddDialog::OnOK()
{
    if (ended_)
        return;
    StopListing();
    const int most = limits_.filesLimit > 0 ? limits_.filesLimit : INT_MAX;
    std::vector<std::shared_ptr<ImageData>> checked = AllChecked();
    const int total = static_cast<int>(checked.size());
    const int n = std::min(most, total);
    checked.resize(static_cast<size_t>(std::max(0, n)));
    if (n > 0 && uploadList_) {
        int examined = 0;
        bool stopped = false;
        for (const auto& record : checked) {
            const int i = examined++;
            if (!record)
                continue;
            if (limits_.fileSizeLimit > 0 && static_cast<int64_t>(record->fileSize()) > limits_.fileSizeLimit)
                continue;
            auto copy = uploadList_->MakeItem(record);
            if (!copy || uploadList_->ContainsFile(*copy))
                continue;
            // The list itself never holds more than the page allows either.
            const bool listFull = limits_.filesLimit > 0 && uploadList_->Count() >= limits_.filesLimit;
            const int pickCap = limits_.pickLimit > 0 ? std::min(kMostPerPick, limits_.pickLimit) : kMostPerPick;
            if (i >= pickCap || listFull) {
                ShowLimitMessage(LimitMessage(listFull, listFull ? limits_.filesLimit : pickCap, added_,
                                              total - i, TextLanguage()));
                stopped = true;
                break;
            }
            copy->SetChecked(1);
            uploadList_->AddItem(std::move(copy));
            ++added_;
        }
        // Pictures beyond the files limit were never examined: they are left out too, and
        // the user is told.
        if (!stopped && total > n)
            ShowLimitMessage(LimitMessage(true, limits_.filesLimit, added_, total - n, TextLanguage()));
        uploadList_->StartThumbnailLoading();
        uploadList_->CheckForDuplicates();
    }
    ended_ = true;
    EndDialog(0);
}

void CFileAddDialog::OnCancel()
{
    if (ended_)
        return;
    StopListing();
    ended_ = true;
    EndDialog(0);
}

// ---- messages ------------------------------------------------------------------------------

void CFileAddDialog::Paint(UI::CPaintEventArgs& e)
{
    ExtForm::Paint(e);
    ControlBase::Paint(e);
}

bool CFileAddDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    try {
        switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog();
            result = TRUE;
            return true;
        case WM_COMMAND:
            // Enter and Escape from the dialog manager: OK and Cancel.
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return true;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return true;
            }
            return false;
        case kFolderListed:
            OnFolderListed(static_cast<uint32_t>(wParam));
            return true;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header || header->idFrom != TreeId)
                break;
            const auto* view = reinterpret_cast<const NMTREEVIEWW*>(lParam);
            if (header->code == TVN_ITEMEXPANDINGW) {
                if ((view->action & TVE_EXPAND) && ChildOf(tree_, view->itemNew.hItem))
                    OnFolderExpanding(view->itemNew.hItem);
                result = FALSE;
                return true;
            }
            if (header->code == TVN_SELCHANGEDW) {
                OnFolderSelected(view->itemNew.hItem);
                return true;
            }
            break;
        }
        default:
            break;
        }
    } catch (...) {
        return true;
    }
    return ProcessWindowMessage(hwnd(), msg, wParam, lParam, result);
}

}  // namespace Vantor
