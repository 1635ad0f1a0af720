#include "control/Fotoloft.h"

#include "control/AppState.h"
#include "control/MsgDataTable.h"
#include "control/MsgQueue.h"
#include "control/OutgoingMessages.h"
#include "picker/CombinBitmap.h"
#include "platform/TypeLibrary.h"
#include "ui/EventArgs.h"
#include "ui/ImageLister.h"
#include "ui/SkinTable.h"

#include <dispex.h>
#include <gdiplus.h>
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
      bridge_(AppConfig::instance(), [this](const std::wstring& json) { sender_.send(json); })
{
    bridge_.setAddFileHandler([this](const std::wstring& path) { panel_.AddFromPage(path); });
}

CFotoloft::~CFotoloft()
{
    // Notifications that arrive later must not reach a control that is gone.
    MsgQueue::instance().unregisterOwner(this);
    sender_.detach();
    if (gdiplusToken_)
        Gdiplus::GdiplusShutdown(gdiplusToken_);
}

HRESULT CFotoloft::construct()
{
    // The page's four messages are in the bridge's own table; the event queue's internal
    // table belongs to the most recently made control.
    MsgQueue::instance().clear();
    registerInternalHandlers();

    const HRESULT hr = sender_.attach(static_cast<IFotoloft*>(this));
    if (FAILED(hr))
        return hr;

    const Gdiplus::GdiplusStartupInput input;  // version 1, every option off
    if (Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr) != Gdiplus::Ok)
        gdiplusToken_ = 0;
    return S_OK;
}

void CFotoloft::onSiteAttached()
{
    // Sited again after being let go: other apartments may reach the control once more.
    if (!sender_.attached())
        sender_.attach(static_cast<IFotoloft*>(this));
}

void CFotoloft::onSiteReleased()
{
    // The table's strong reference would keep the control alive for ever once its container
    // has let go; revoke it so the last release destroys the control. The page's function
    // goes too: the page has left.
    sender_.detach();
    receiver_.Reset();
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

void CFotoloft::registerInternalHandlers()
{
    MsgQueue& queue = MsgQueue::instance();
    queue.registerHandler("post_process", [this](int32_t key) { onFileProgress(key); }, this);
    queue.registerHandler("post_complete", [this](int32_t key) { onFileComplete(key); }, this);
    queue.registerHandler("post_error", [this](int32_t key) { onFileError(key); }, this);
    queue.registerHandler("task_complete", [this](int32_t key) { onTaskComplete(key); }, this);
    queue.registerHandler("task_end", [this](int32_t key) { onTaskEnd(key); }, this);
}

void CFotoloft::onFileProgress(int32_t key)
{
    // The item's progress band is repainted here once the upload list exists.
    MsgDataTable::instance().take(key);
}

void CFotoloft::onFileComplete(int32_t key) { MsgDataTable::instance().take(key); }

void CFotoloft::onFileError(int32_t key) { MsgDataTable::instance().take(key); }

void CFotoloft::onTaskEnd(int32_t)
{
    // The panel leaves its uploading look here once it exists.
    AppState::instance().setFinished();
}

void CFotoloft::onTaskComplete(int32_t)
{
    // The files the task uploaded come from the upload queue's completed list.
    sendJson(MakePostComplete({}));
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

// ---- IFotoloft -----------------------------------------------------------------------------

STDMETHODIMP CFotoloft::postMessage(BSTR newVal)
{
    // Every message is answered with success: a bad one only does nothing.
    bridge_.handle(std::wstring_view(newVal ? newVal : L"", newVal ? SysStringLen(newVal) : 0));
    applyAddLimits();
    return S_OK;
}

STDMETHODIMP CFotoloft::FireRecvMessage(BSTR json)
{
    try {
        const ComPtr<IDispatch> receiver = receiver_;  // the page may replace it during the call
        if (!receiver)
            return S_OK;
        VARIANT argument;
        VariantInit(&argument);
        argument.vt = VT_BSTR;
        argument.bstrVal = json;  // still the caller's
        DISPPARAMS params{&argument, nullptr, 1, 0};
        ComPtr<IDispatchEx> function;
        if (SUCCEEDED(receiver.As(&function)))
            function->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        else
            receiver->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                             nullptr);
        return S_OK;
    } catch (...) {
        return S_OK;
    }
}

STDMETHODIMP CFotoloft::put_recvMessage(IDispatch* newVal)
{
    receiver_ = newVal;
    return S_OK;
}

// ---- The window ----------------------------------------------------------------------------

LRESULT CFotoloft::onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    switch (message) {
    case WM_CREATE:
        MsgQueue::instance().setTarget(window());
        UI::LoadSkins();
        CombinBitmap::Instance().Fill();
        panel_.AttachToWindow(window());
        panel_.CreateControls();
        applyAddLimits();
        // The drop target registers here.
        return 0;
    case WM_DESTROY:
        panel_.Release();
        pressed_ = nullptr;
        // The drop target is revoked here.
        UI::ImageLister::Instance().Clear();  // filled again when a window is next created
        CombinBitmap::Instance().Clear();
        if (MsgQueue::instance().target() == window())
            MsgQueue::instance().setTarget(nullptr);
        handled = false;
        return 0;
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the panel paints everything
    case WM_SIZE:
        panel_.Layout();
        InvalidateRect(window(), nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
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
    case MsgQueue::kDrainMessage:
        MsgQueue::instance().drain();
        return 0;
    default:
        break;
    }
    handled = false;
    return ActiveXControl::onMessage(message, wParam, lParam, handled);
}

bool CFotoloft::onMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    UI::CMouseEventArgs e(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    switch (message) {
    case WM_LBUTTONDOWN:
        SetCapture(window());
        panel_.OnLButtonDown(e);
        pressed_ = e.handled ? e.handler : nullptr;
        // The mouse also activates the control in its container.
        return false;
    case WM_MOUSEMOVE:
        if (pressed_)
            pressed_->OnMouseMove(e);
        else
            panel_.OnMouseMove(e);
        if (!mouseTracked_) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window(), 0};
            mouseTracked_ = TrackMouseEvent(&track) != FALSE;
        }
        return true;
    case WM_LBUTTONUP: {
        // Take the press's owner first: releasing the capture sends WM_CAPTURECHANGED.
        ControlBase* const pressed = std::exchange(pressed_, nullptr);
        ReleaseCapture();
        if (pressed)
            pressed->OnLButtonUp(e);
        else
            panel_.OnLButtonUp(e);
        return true;
    }
    case WM_MOUSELEAVE:
        panel_.OnMouseLeave();
        mouseTracked_ = false;
        return true;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-press: the pressed control sees a release far outside itself.
        if (reinterpret_cast<HWND>(lParam) != window()) {
            if (ControlBase* const pressed = std::exchange(pressed_, nullptr)) {
                UI::CMouseEventArgs away(0, -32768, -32768);
                pressed->OnLButtonUp(away);
            }
        }
        return false;
    default:
        return false;
    }
}

void CFotoloft::applyAddLimits()
{
    // Drops onto the list keep to the page's limits; the page's own adds take none.
    const AppConfig& config = AppConfig::instance();
    panel_.List().SetAddLimits(AddLimits{config.FilesLimit, config.FileSizeLimit});
}

void CFotoloft::onPaint()
{
    PAINTSTRUCT paint;
    const HDC windowDc = BeginPaint(window(), &paint);
    if (!windowDc)
        return;
    RECT client{};
    GetClientRect(window(), &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width > 0 && height > 0) {
        // Everything is drawn into a back buffer first, then copied in one go.
        const UniqueMemoryDC buffer(CreateCompatibleDC(windowDc));
        const UniqueMemoryDC spare(CreateCompatibleDC(windowDc));
        const GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(windowDc, width, height));
        if (buffer && spare && bitmap) {
            const SelectObjectScope selected(buffer.get(), bitmap.get());
            paintTree(buffer.get(), spare.get());
            BitBlt(windowDc, 0, 0, width, height, buffer.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(window(), &paint);
}

void CFotoloft::paintTree(HDC dc, HDC spare)
{
    Gdiplus::Graphics graphics(dc);
    UI::CPaintEventArgs e(dc, spare, gdiplusToken_ && graphics.GetLastStatus() == Gdiplus::Ok ? &graphics : nullptr);
    panel_.Paint(e);
}

void CFotoloft::drawContent(HDC dc, const RECT& bounds)
{
    // A container drawing the control elsewhere (a print, a snapshot): the same tree, moved.
    const UniqueMemoryDC spare(CreateCompatibleDC(dc));
    POINT previous{};
    SetViewportOrgEx(dc, bounds.left, bounds.top, &previous);
    paintTree(dc, spare.get());
    SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

}  // namespace Vantor
