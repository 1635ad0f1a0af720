#include "picker/FileAddDialog.h"

#include <shlwapi.h>

#include <algorithm>
#include <climits>

#include "Biz/ImageData.h"
#include "picker/FolderPath.h"
#include "picker/ListViewSelectItem.h"
#include "ui/MessageDialog.h"
#include "ui/Theme.h"

namespace Vantor {

namespace {

const wchar_t kTitle[] = L"\u6DFB\u52A0\u56FE\u7247";                            // 添加图片
const wchar_t kSelectAll[] = L"\u5168\u9009";                                   // 全选
const wchar_t kCounterReset[] = L"\u5F53\u524D\u9009\u62E9" L"0/0\u5F20\u7167\u7247";  // 当前选择0/0张照片
const wchar_t kSizeReset[] = L"\u5171" L"0.00KB";                               // 共0.00KB
const wchar_t kLoading[] = L"\u52A0\u8F7D\u4E2D...";                           // 加载中...
const wchar_t kTooMany[] = L"\u6587\u4EF6\u6570\u91CF\u8D85\u8FC7\u9650\u5236";  // 文件数量超过限制

HTREEITEM ChildOf(HWND tree, HTREEITEM node)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(node)));
}

HTREEITEM NextOf(HWND tree, HTREEITEM node)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(node)));
}

}  // namespace

std::wstring PickedSizeText(int64_t bytes)
{
    if (bytes <= 0)
        return L"0byte";
    if (bytes < 1024)
        return std::to_wstring(bytes) + L"bytes";
    wchar_t text[20] = {};
    if (!StrFormatByteSizeW(bytes, text, 19))
        return std::to_wstring(bytes) + L"bytes";
    return text;
}

std::wstring PickedCountText(int checked, int count)
{
    // 当前选择：%1%/%2% 张照片
    return L"\u5F53\u524D\u9009\u62E9\uFF1A" + std::to_wstring(checked) + L"/" + std::to_wstring(count) +
           L" \u5F20\u7167\u7247";
}

CFileAddDialog::CFileAddDialog() = default;

CFileAddDialog::~CFileAddDialog()
{
    // The lister's and the picker's threads end before the records and the window they report to.
    lister_.reset();
    picker_.StopThumbnailLoading();
}

// ---- creation ------------------------------------------------------------------------------

void CFileAddDialog::OnInitDialog()
{
    AttachWindow(hwnd(), 0, 0, Width, Height);
    SetTitle(kTitle);
    SetIconName("IcoAdd");

    selectAll_.Create(this, kSelectAll);
    selectAll_.SetMargins(208, 496, 0, 0);
    counter_.Create(this, kCounterReset);
    counter_.SetMargins(259, 496, 0, 0);
    size_.Create(this, kSizeReset);
    size_.SetMargins(371, 496, 0, 0);

    ok_.Create(this, L"");
    ok_.SetImages("BtnOk", "BtnOk", "BtnOk", "BtnOk");
    ok_.SetSize(51, 24);
    ok_.SetMargins(0, 0, 73, 6);
    ok_.SetAnchor(AnchorBottom | AnchorRight);
    cancel_.Create(this, L"");
    cancel_.SetImages("BtnCancel", "BtnCancel", "BtnCancel", "BtnCancel");
    cancel_.SetSize(51, 24);
    cancel_.SetMargins(0, 0, 16, 6);
    cancel_.SetAnchor(AnchorBottom | AnchorRight);
    close_.Create(this, L"");
    close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "");
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
    picker_.Create(hwnd(), 191, 33, 628, 451);
    picker_.SetInteractive(false);
    picker_.SelectionChanged.connect([this](int) { UpdateCounters(); });

    CreateTree();
    BuildTree();
    PlaceWindow();
}

void CFileAddDialog::CreateTree()
{
    tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
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
        loading.item.pszText = const_cast<wchar_t*>(kLoading);
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
    selectAll_.SetChecked(false);
    picker_.Clear();
    size_.SetText(kSizeReset);
    counter_.SetText(kCounterReset);
    const FolderNode* data = NodeOf(node);
    const std::wstring path = data && data->item ? data->item->Path() : std::wstring();
    if (!path.empty())
        folder_ = path;
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
    for (auto& listed : records)
        picker_.AddItem(std::make_unique<ListViewSelectItem>(std::move(listed.record), std::move(listed.dates)));
    if (!records.empty()) {
        const int scroll = picker_.ScrollPos();
        picker_.Arrange();
        picker_.UpdateScrollBar();
        picker_.ScrollTo(scroll);
        InvalidateRect(picker_.hwnd(), nullptr, FALSE);
        picker_.StartThumbnailLoading();
    }
    if (finished)
        listing_ = false;
    UpdateCounters();
}

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
    counter_.SetText(PickedCountText(picker_.CheckedCount(), picker_.Count()));
    // The size follows the counter, which grows with its numbers.
    size_.InvalidateBounds();
    size_.SetMargins(std::max<int>(371, counter_.GetBounds().right + 12), 496, 0, 0);
    size_.Layout();
    size_.SetText(PickedSizeText(picker_.CheckedSize()));
}

void CFileAddDialog::ShowLimitMessage()
{
    CMessageDialog message;
    message.SetMessage(kTooMany);
    const HWND active = GetActiveWindow();
    message.DoModal(active ? active : hwnd());
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
    const int n = std::min(most, picker_.CheckedCount());
    if (n > 0 && uploadList_) {
        int examined = 0;
        for (ListViewItem* item : picker_.CheckedItems(n)) {
            const int i = examined++;
            const auto record = item->Record();
            if (!record)
                continue;
            if (limits_.fileSizeLimit > 0 && static_cast<int64_t>(record->fileSize()) > limits_.fileSizeLimit)
                continue;
            if (uploadList_->ContainsFile(*item))
                continue;
            // The list itself never holds more than the page allows either.
            const bool listFull = limits_.filesLimit > 0 && uploadList_->Count() >= limits_.filesLimit;
            if (i >= kMostPerPick || (limits_.pickLimit > 0 && i >= limits_.pickLimit) || listFull) {
                ShowLimitMessage();
                break;
            }
            auto copy = uploadList_->MakeItem(record);
            if (!copy)
                continue;
            copy->SetChecked(item->Checked());
            uploadList_->AddItem(std::move(copy));
            ++added_;
        }
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
