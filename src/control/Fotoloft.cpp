#include "control/Fotoloft.h"

#include "Biz/ImageData.h"
#include "Biz/Log.h"
#include "control/OutgoingMessages.h"
#include "control/PageAddress.h"
#include "control/SiteAllowList.h"
#include "control/UploadReports.h"
#include "editor/ImageEditForm.h"
#include "editor/ImageViewForm.h"
#include "picker/ListViewPostItem.h"
#include "platform/TypeLibrary.h"
#include "platform/Window.h"
#include "ui/EventArgs.h"
#include "ui/MessageDialog.h"
#include "ui/UiText.h"

#include <gdiplus.h>
#include <log4cplus/loggingmacros.h>
#include <windowsx.h>


#include <cwchar>
#include <utility>

namespace Vantor {
namespace {

const ActiveXControl::Identity kIdentity{CLSID_Fotoloft, LIBID_FotoloftAppLib, kTypeLibraryMajor, kTypeLibraryMinor,
                                         kMiscStatus};

struct MemberName {
    const wchar_t* name;
    DISPID id;
};
constexpr MemberName kMembers[] = {
    {L"postMessage", CFotoloft::kPostMessage},
    {L"FireRecvMessage", CFotoloft::kFireRecvMessage},
    {L"recvMessage", CFotoloft::kRecvMessage},
};

// The argument at position index (arguments arrive last first).
VARIANT* Argument(DISPPARAMS* params, UINT index)
{
    if (!params || index >= params->cArgs)
        return nullptr;
    return &params->rgvarg[params->cArgs - 1 - index];
}

}  // namespace

HRESULT CFotoloft::Create(REFIID iid, void** out) noexcept
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    try {
        const ComPtr<CFotoloft> control = MakeComObject<CFotoloft>();
        const HRESULT hr = control->construct();
        if (FAILED(hr))
            return hr;
        return control->QueryInterface(iid, out);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

CFotoloft::CFotoloft()
    : ActiveXControl(kIdentity),
      reports_(std::make_shared<UploadReports>(tasks_.poster(), reportHandlers())),
      dropTarget_([this](const std::vector<std::wstring>& paths) { return addDroppedFiles(paths); }),
      pageAllowed_(IsPageAllowed(L"", ReadAllowedSites())),
      bridge_(config_, [this](const std::wstring& json) { sender_.send(json); }, *log_)
{
    bridge_.setAddFileHandler([this](const std::wstring& path) { panel_.AddFromPage(path); });
    // Connected once: the list outlives every window the control gets.
    panel_.List().AddLimitReached.connect([this](int leftOut) {
        // Told once the drop or the page's call has returned (and the control has a window).
        if (leftOut_ == 0)
            tasks_.Post([this] { tellFilesLeftOut(std::exchange(leftOut_, 0)); });
        leftOut_ += leftOut;
    });
    panel_.List().OtherKindsRefused.connect([this](int refused) { panel_.ShowOtherKindsRefused(refused); });
    panel_.List().DuplicatesSkipped.connect([this](int skipped) { panel_.ShowDuplicatesSkipped(skipped); });
    // The focus rectangle is painted over the tree by the panel's keyboard focus.
    root_.SetAccess(&panel_.Access());
}

CFotoloft::~CFotoloft()
{
    // A running task goes on alone for a moment: it stops, and what it still reports is
    // dropped instead of reaching a control that is gone.
    tasks_.Close();
    session_.Cancel();
    sender_.detach();
}

HRESULT CFotoloft::construct()
{
    return sender_.attach(static_cast<IFotoloft*>(this));
}

void CFotoloft::onSiteAttached()
{
    // The container tells where the page comes from; the list is read again for each site.
    try {
        pageAddress_ = PageAddressOf(clientSite());
        pageAllowed_ = IsPageAllowed(pageAddress_, ReadAllowedSites());
    } catch (...) {
        pageAllowed_ = false;
    }
    // Sited again after being let go: other apartments may reach the control once more.
    if (!sender_.attached())
        sender_.attach(static_cast<IFotoloft*>(this));
}

STDMETHODIMP CFotoloft::Close(DWORD saveOption)
{
    // A modal window of the control's closes with it; the run holds the control until its
    // handler has returned.
    modals_.CloseAll();
    return ActiveXControl::Close(saveOption);
}

void CFotoloft::onSiteReleased()
{
    modals_.CloseAll();
    // The table's strong reference would keep the control alive for ever once its container
    // has let go; revoke it so the last release destroys the control. The page's function
    // goes too: the page has left.
    sender_.detach();
    page_.SetReceiver(nullptr);
}

void CFotoloft::sendJson(const ::Json::Value& message)
{
    try {
        bridge_.send(message);
    } catch (...) {
    }
}

void* CFotoloft::queryInterface(REFIID iid)
{
    if (iid == IID_IFotoloft || iid == IID_IDispatch)
        return static_cast<IFotoloft*>(this);
    return ActiveXControl::queryInterface(iid);
}

// ---- Notifications from the upload engine --------------------------------------------------

std::vector<UploadFile> CFotoloft::UploadSnapshot()
{
    std::vector<UploadFile> files;
    for (const auto& item : panel_.List().Items()) {
        if (auto record = item ? item->Record() : nullptr) {
            std::string id = record->id();
            files.push_back({std::move(id), std::move(record)});
        }
    }
    return files;
}

bool CFotoloft::StartUpload(std::vector<UploadFile> files, const UploadSettings& settings)
{
    try {
        // Files the page has just added are shown (and their thumbnails started) first.
        panel_.List().ShowAdditions();
        // Which item shows which file: looked up by the file's id, never kept as a pointer.
        UploadSession::ItemIds items;
        for (const auto& item : panel_.List().Items())
            if (const auto record = item ? item->Record() : nullptr)
                items.emplace(record->id(), item->Id());
        if (!session_.Start(std::move(files), std::move(items), settings, reports_))
            return false;
        pageEvents_.begin(config_.Events, settings.sendIndex);
        if (window())
            InvalidateRect(window(), nullptr, FALSE);
        return true;
    } catch (...) {
        return false;
    }
}

void CFotoloft::CancelUpload() { session_.Cancel(); }

bool CFotoloft::StartListUpload()
{
    panel_.List().CommitRename();
    return StartUpload(UploadSnapshot(), uploadSettings());
}

void CFotoloft::EditItem(int32_t itemId)
{
    const Log::Scope log(log_.get());
    if (IsUploading() || !panel_.List().FindById(itemId))
        return;
    closePreview();
    HWND owner = GetActiveWindow();
    if (!owner)
        owner = GetAncestor(window(), GA_ROOT);
    const ModalRun run(modals_);
    if (!EditListItem(panel_.List(), itemId, owner))
        LOG4CPLUS_INFO(Log::current(), L"edit window: item " << itemId << L" left as it was");
}

void CFotoloft::PreviewItem(int32_t itemId)
{
    if (!panel_.List().FindById(itemId))
        return;
    // An open preview shows the item instead of being made again.
    if (preview_ && IsWindow(preview_)) {
        if (auto* const open = dynamic_cast<ImageViewForm*>(Win::Window::FromHandle(preview_))) {
            open->ShowItem(itemId);
            return;
        }
    }
    closePreview();
    if (ImageViewForm* const preview = ImageViewForm::Open(panel_.List(), itemId))
        preview_ = preview->hwnd();
}

void CFotoloft::closePreview()
{
    // The preview reads the list: it never outlives this control's window.
    if (preview_ && IsWindow(preview_))
        DestroyWindow(preview_);
    preview_ = nullptr;
}

UploadReports::Handlers CFotoloft::reportHandlers()
{
    UploadReports::Handlers handlers;
    handlers.postProcess = [this](const std::shared_ptr<ImageData>& file) { onFileProgress(file); };
    handlers.postComplete = [this](const std::shared_ptr<ImageData>& file) { onFileComplete(file); };
    handlers.postError = [this](const std::shared_ptr<ImageData>& file) { onFileError(file); };
    handlers.taskEnd = [this](const UploadTaskResult& task) { onTaskEnd(task); };
    handlers.taskComplete = [this](const UploadTaskResult& task) { onTaskComplete(task); };
    return handlers;
}

namespace {

// "imgs" of "post_complete": the task's completed records, in the order they finished, each
// with its place in the list when the task sent it.
std::vector<UploadedFile> UploadedFiles(const UploadTaskResult& result, bool withIndex)
{
    std::vector<UploadedFile> files;
    for (const std::shared_ptr<ImageData>& record : result.completed)
        if (record)
            files.push_back({record->id(), record->Reply(), withIndex ? record->uploadIndex() : -1});
    return files;
}

}  // namespace

ListViewPostItem* CFotoloft::uploadItemOf(const ImageData& file)
{
    const int32_t itemId = session_.ItemOf(file.id());
    if (itemId < 0)
        return nullptr;
    auto* item = dynamic_cast<ListViewPostItem*>(panel_.List().FindById(itemId));
    const auto record = item ? item->Record() : nullptr;
    return record && record->id() == file.id() ? item : nullptr;
}

void CFotoloft::onFileReport(const std::shared_ptr<ImageData>& file)
{
    const UploadPhase phase = file->UploadState().phase;
    if (ListViewPostItem* item = uploadItemOf(*file)) {
        if (phase == UploadPhase::Done)
            item->OnUploadCompleted();
        else
            item->OnUploadProgress();
    }
    if (phase == UploadPhase::Done || phase == UploadPhase::Failed)
        panel_.OnUploadFileChanged();
    UploadFileChanged(file);
}

void CFotoloft::leaveUploading(const UploadTaskResult& result)
{
    // The files the server accepted leave the list; the others stay for the next press.
    ListView& list = panel_.List();
    for (const std::shared_ptr<ImageData>& file : result.completed)
        if (ListViewPostItem* item = file ? uploadItemOf(*file) : nullptr)
            list.RemoveItem(item->Id());
    session_.End();
    if (window())
        InvalidateRect(window(), nullptr, FALSE);
}

void CFotoloft::onFileProgress(const std::shared_ptr<ImageData>& file)
{
    if (!file)
        return;
    onFileReport(file);
    if (!pageEvents_.enabled() || !pageEvents_.progressDue(file->id(), GetTickCount()))
        return;
    const UploadStatus status = file->UploadState();
    sendJson(PageEvents::FileProgress(file->id(), status.sent, status.size));
}

void CFotoloft::onFileComplete(const std::shared_ptr<ImageData>& file)
{
    if (!file)
        return;
    onFileReport(file);
    if (!pageEvents_.enabled())
        return;
    pageEvents_.ended(file->id());
    sendJson(PageEvents::FileDone(file->id(), file->Reply(), pageEvents_.withIndex() ? file->uploadIndex() : -1));
}

void CFotoloft::onFileError(const std::shared_ptr<ImageData>& file)
{
    if (!file)
        return;
    onFileReport(file);
    if (!pageEvents_.enabled())
        return;
    pageEvents_.ended(file->id());
    sendJson(PageEvents::FileFailed(file->id(), file->uploadFailure(),
                                    pageEvents_.withIndex() ? file->uploadIndex() : -1));
}

void CFotoloft::onTaskEnd(const UploadTaskResult& task)
{
    leaveUploading(task);
    UploadEnded(task);
    // A task stopped with files left waiting gets no "task_complete"; the page is still told
    // which files it uploaded, since they leave the list.
    if (task.leftWaiting > 0 && !task.completed.empty())
        sendJson(MakePostComplete(UploadedFiles(task, pageEvents_.withIndex())));
    // The summary is the task's last word: here when no "task_complete" follows.
    if (task.leftWaiting > 0 && pageEvents_.enabled())
        sendJson(PageEvents::TaskSummary(task));
}

void CFotoloft::onTaskComplete(const UploadTaskResult& task)
{
    sendJson(MakePostComplete(UploadedFiles(task, pageEvents_.withIndex())));
    if (pageEvents_.enabled())
        sendJson(PageEvents::TaskSummary(task));
}

// ---- IDispatch -----------------------------------------------------------------------------

STDMETHODIMP CFotoloft::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CFotoloft::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    ComPtr<ITypeInfo> typeInfo;
    const HRESULT hr =
        TypeLibrary::TypeInfoOf(LIBID_FotoloftAppLib, kTypeLibraryMajor, kTypeLibraryMinor, IID_IFotoloft, typeInfo);
    if (FAILED(hr))
        return hr;
    *info = typeInfo.Detach();
    return S_OK;
}

STDMETHODIMP CFotoloft::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (!names[0])
        return DISP_E_UNKNOWNNAME;
    for (const MemberName& member : kMembers) {
        if (_wcsicmp(names[0], member.name) == 0) {
            ids[0] = member.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;  // the members take no named arguments
        }
    }
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP CFotoloft::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO*, UINT* badArgument)
{
    try {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (result)
            VariantInit(result);
        switch (id) {
        case kPostMessage:
        case kFireRecvMessage: {
            if (!(flags & DISPATCH_METHOD))
                return DISP_E_MEMBERNOTFOUND;
            if (!params || params->cArgs != 1 || params->cNamedArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            VARIANT text;
            VariantInit(&text);
            if (FAILED(VariantChangeType(&text, Argument(params, 0), 0, VT_BSTR))) {
                if (badArgument)
                    *badArgument = 0;
                return DISP_E_TYPEMISMATCH;
            }
            const HRESULT hr = id == kPostMessage ? postMessage(text.bstrVal) : FireRecvMessage(text.bstrVal);
            VariantClear(&text);
            return hr;
        }
        case kRecvMessage: {
            // Scripts assign a function with either put flag.
            if (!(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)))
                return DISP_E_MEMBERNOTFOUND;
            if (!params || params->cArgs != 1)
                return DISP_E_BADPARAMCOUNT;
            VARIANT* value = Argument(params, 0);
            while (value->vt == (VT_VARIANT | VT_BYREF) && value->pvarVal)
                value = value->pvarVal;
            switch (value->vt) {
            case VT_DISPATCH:
                return put_recvMessage(value->pdispVal);
            case VT_DISPATCH | VT_BYREF:
                return put_recvMessage(value->ppdispVal ? *value->ppdispVal : nullptr);
            case VT_UNKNOWN: {
                ComPtr<IDispatch> dispatch;
                if (value->punkVal)
                    value->punkVal->QueryInterface(IID_PPV_ARGS(dispatch.GetAddressOf()));
                return put_recvMessage(dispatch.Get());
            }
            case VT_EMPTY:
            case VT_NULL:
                return put_recvMessage(nullptr);
            default:
                if (badArgument)
                    *badArgument = 0;
                return DISP_E_TYPEMISMATCH;
            }
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP CFotoloft::TranslateAccelerator(LPMSG message)
{
    try {
        if (!message || message->message != WM_KEYDOWN || message->wParam != VK_TAB || !window())
            return S_FALSE;
        if (message->hwnd != window() && !IsChild(window(), message->hwnd))
            return S_FALSE;
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
            return S_FALSE;  // Ctrl+Tab and Alt+Tab belong to the browser and the system
        const bool backwards = GetKeyState(VK_SHIFT) < 0;
        UI::FocusRing& focus = panel_.Access().Focus();
        if (!focus.CanMoveWithin(backwards))
            return S_FALSE;
        focus.Move(backwards);
        return S_OK;
    } catch (...) {
        return S_FALSE;
    }
}

// ---- IFotoloft -----------------------------------------------------------------------------

STDMETHODIMP CFotoloft::postMessage(BSTR newVal)
{
    const Log::Scope log(log_.get());
    // Every message is answered with success: a bad one, or one from a page of a site that
    // may not drive the control, only does nothing.
    if (!pageAllowed_)
        return S_OK;
    bridge_.handle(std::wstring_view(newVal ? newVal : L"", newVal ? SysStringLen(newVal) : 0));
    applyAddLimits();
    // An "init" may name another language: the panel redraws in it.
    panel_.ApplyLanguage(config_.Language);
    return S_OK;
}

STDMETHODIMP CFotoloft::FireRecvMessage(BSTR json)
{
    try {
        if (pageAllowed_)
            page_.Send(std::wstring(json ? json : L"", json ? SysStringLen(json) : 0));
    } catch (...) {
    }
    return S_OK;
}

STDMETHODIMP CFotoloft::put_recvMessage(IDispatch* newVal)
{
    page_.SetReceiver(newVal);
    return S_OK;
}

// ---- The window ----------------------------------------------------------------------------

LRESULT CFotoloft::onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    const Log::Scope log(log_.get());
    handled = true;
    // Work posted for the window thread (the engine's reports, texts for the page, messages
    // kept until a call returned).
    if (tasks_.HandleMessage(window(), message))
        return 0;
    // The keyboard (Tab, Enter, Space) and assistive technology go to the panel's tree.
    if (LRESULT answered = 0; panel_.Access().HandleMessage(window(), message, wParam, lParam, answered))
        return answered;
    switch (message) {
    case WM_CREATE:
        // A view of what the object holds: the first window, or one made again after the
        // container deactivated the control in place.
        panel_.MakeView(window());
        tasks_.SetWindow(window());
        applyAddLimits();
        RegisterItemDragFormat();
        dropTarget_.RegisterDropTarget(window());
        return 0;
    case WM_DESTROY:
        closePreview();
        panel_.ReleaseView();
        root_.Reset();
        dropTarget_.RevokeDropTarget();
        tasks_.SetWindow(nullptr);
        handled = false;
        return 0;
    case WM_PAINT:
        root_.Paint(window());
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the panel paints everything
    case WM_SIZE:
        root_.ResizeBuffer(window(), LOWORD(lParam), HIWORD(lParam));
        panel_.Layout();
        InvalidateRect(window(), nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSELEAVE:
    case WM_CAPTURECHANGED:
        if (onMouse(message, wParam, lParam))
            return 0;
        break;
    case WM_MOUSEWHEEL:
        // The wheel scrolls the upload list wherever the pointer is over the control.
        if (panel_.List().hwnd() && panel_.List().IsVisible()) {
            SendMessageW(panel_.List().hwnd(), WM_MOUSEWHEEL, wParam, lParam);
            return 0;
        }
        break;
    case WM_TIMER:
        if (!panel_.OnTimer(wParam))
            break;
        return 0;
    case WM_KEYDOWN:
        if (!panel_.OnKeyDown(wParam))
            break;
        return 0;
    default: {
        // Notifications of native child controls (the sort box) go back to the child, as
        // the forms do.
        LRESULT reflected = 0;
        if (Win::ReflectNotification(window(), message, wParam, lParam, reflected))
            return reflected;
        break;
    }
    }
    handled = false;
    return ActiveXControl::onMessage(message, wParam, lParam, handled);
}

bool CFotoloft::onMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second press (upload, then cancel) is a press all the same
        // A click on the panel gives it the keyboard, as a click on a native control would.
        if (GetFocus() != window())
            SetFocus(window());
        root_.ButtonDown(window(), wParam, at);
        // The mouse also activates the control in its container.
        return false;
    case WM_MOUSEMOVE:
        root_.MouseMove(window(), wParam, at);
        return true;
    case WM_LBUTTONUP:
        root_.ButtonUp(wParam, at);
        return true;
    case WM_MOUSELEAVE:
        root_.MouseLeave();
        return true;
    case WM_CAPTURECHANGED:
        root_.CaptureChanged(window(), reinterpret_cast<HWND>(lParam));
        return false;
    default:
        return false;
    }
}

UploadSettings CFotoloft::uploadSettings() const
{
    UploadSettings settings = config_.uploadSettings();
    settings.log = log_;
    return settings;
}

void CFotoloft::applyAddLimits()
{
    // Drops onto the list keep to the page's limits; the page's own adds take none.
    panel_.List().SetAddLimits(
        AddLimits{config_.FilesLimit, config_.FileSizeLimit, config_.PickLimit, config_.Extensions});
    panel_.List().SetSkipDuplicates(config_.SkipDuplicates);
}

std::size_t CFotoloft::addDroppedFiles(const std::vector<std::wstring>& paths)
{
    // The list's accept rule, no files or size limit on this path; a path already in the list
    // is not added again. The list's FilesDropped shows it.
    AddLimits limits;
    limits.kinds = config_.Extensions;
    return static_cast<std::size_t>(panel_.List().AddFiles(paths, limits).added);
}

void CFotoloft::tellFilesLeftOut(int leftOut)
{
    if (leftOut <= 0)
        return;
    const std::wstring text = UI::FormatText(config_.Language, UI::TextId::FilesLeftOut,
                                             {std::to_wstring(config_.FilesLimit), std::to_wstring(leftOut)});
    CMessageDialog dialog;
    dialog.SetLanguage(config_.Language);
    dialog.SetMessage(text);
    const ModalRun run(modals_);
    dialog.DoModal(GetActiveWindow() ? GetActiveWindow() : window());
}

void CFotoloft::drawContent(HDC dc, const RECT& bounds)
{
    // A container drawing the control elsewhere (a print, a snapshot): the same tree, moved.
    const UniqueMemoryDC spare(CreateCompatibleDC(dc));
    POINT previous{};
    SetViewportOrgEx(dc, bounds.left, bounds.top, &previous);
    root_.PaintInto(dc, spare.get());
    SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

}  // namespace Vantor
