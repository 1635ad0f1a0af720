#include "platform/ActiveXControl.h"

#include "platform/TypeLibrary.h"
#include "platform/Window.h"

#include <olectl.h>

#include <cstring>

namespace Vantor {
namespace {

constexpr wchar_t kWindowClass[] = L"VantorFotoloftControl";
constexpr DWORD kStreamVersion = 0x0100;

int ScreenPixelsPerInch(int axis)
{
    HDC screen = GetDC(nullptr);
    const int perInch = screen ? GetDeviceCaps(screen, axis) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return perInch > 0 ? perInch : 96;
}

}  // namespace

SIZEL PixelsToHimetric(SIZE pixels)
{
    return SIZEL{MulDiv(pixels.cx, 2540, ScreenPixelsPerInch(LOGPIXELSX)),
                 MulDiv(pixels.cy, 2540, ScreenPixelsPerInch(LOGPIXELSY))};
}

SIZE HimetricToPixels(SIZEL himetric)
{
    return SIZE{MulDiv(himetric.cx, ScreenPixelsPerInch(LOGPIXELSX), 2540),
                MulDiv(himetric.cy, ScreenPixelsPerInch(LOGPIXELSY), 2540)};
}

ActiveXControl::ActiveXControl(const Identity& identity)
    : identity_(identity), extent_(PixelsToHimetric(SIZE{800, 500}))
{
}

ActiveXControl::~ActiveXControl() { destroyWindow(); }

SIZE ActiveXControl::extentPixels() const { return HimetricToPixels(extent_); }

void* ActiveXControl::queryInterface(REFIID iid)
{
    // Base interfaces of the ones listed.
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
        return static_cast<IOleInPlaceObjectWindowless*>(this);
    if (iid == IID_IViewObject || iid == IID_IViewObject2)
        return static_cast<IViewObjectEx*>(this);
    if (iid == IID_IPersist)
        return static_cast<IPersistStreamInit*>(this);
    if (iid == IID_IProvideClassInfo)
        return static_cast<IProvideClassInfo2*>(this);
    return nullptr;
}

// ---- IOleObject ------------------------------------------------------------------------

STDMETHODIMP ActiveXControl::SetClientSite(IOleClientSite* site)
{
    try {
        clientSite_ = site;
        if (site)
            onSiteAttached();
        else
            onSiteReleased();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ActiveXControl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = clientSite_.Get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP ActiveXControl::Close(DWORD)
{
    try {
        InPlaceDeactivate();
        if (oleAdvise_)
            oleAdvise_->SendOnClose();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ActiveXControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ActiveXControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ActiveXControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT position)
{
    try {
        if (site && !clientSite_)
            clientSite_ = site;
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_UIACTIVATE:
            return activateInPlace(true, parent, position);
        case OLEIVERB_INPLACEACTIVATE:
            return activateInPlace(false, parent, position);
        case OLEIVERB_HIDE:
            UIDeactivate();
            if (window_)
                ShowWindow(window_, SW_HIDE);
            return S_OK;
        case OLEIVERB_OPEN:
        case OLEIVERB_DISCARDUNDOSTATE:
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
        }
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ActiveXControl::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(identity_.classId, verbs); }

STDMETHODIMP ActiveXControl::GetUserClassID(CLSID* classId) { return GetClassID(classId); }

STDMETHODIMP ActiveXControl::GetUserType(DWORD form, LPOLESTR* userType)
{
    return OleRegGetUserType(identity_.classId, form, userType);
}

STDMETHODIMP ActiveXControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    if (size->cx != extent_.cx || size->cy != extent_.cy) {
        extent_ = *size;
        dirty_ = true;
    }
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    if (!size)
        return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP ActiveXControl::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!connection)
        return E_POINTER;
    *connection = 0;
    if (!oleAdvise_) {
        const HRESULT hr = CreateOleAdviseHolder(oleAdvise_.ReleaseAndGetAddressOf());
        if (FAILED(hr))
            return hr;
    }
    return oleAdvise_->Advise(sink, connection);
}

STDMETHODIMP ActiveXControl::Unadvise(DWORD connection)
{
    return oleAdvise_ ? oleAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP ActiveXControl::EnumAdvise(IEnumSTATDATA** advises)
{
    if (!advises)
        return E_POINTER;
    *advises = nullptr;
    return oleAdvise_ ? oleAdvise_->EnumAdvise(advises) : E_FAIL;
}

STDMETHODIMP ActiveXControl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = identity_.miscStatus;
    return S_OK;
}

// ---- In-place activation -----------------------------------------------------------------

HRESULT ActiveXControl::activateInPlace(bool wantUiActive, HWND parent, LPCRECT position)
{
    if (!clientSite_)
        return S_OK;
    if (!inPlaceActive_) {
        ComPtr<IOleInPlaceSite> site;
        if (FAILED(clientSite_.As(&site)))
            return E_FAIL;
        if (site->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        inPlaceSite_ = site;
        inPlaceActive_ = true;
        ComPtr<IOleInPlaceSiteEx> siteEx;
        BOOL noRedraw = FALSE;
        if (SUCCEEDED(site.As(&siteEx)))
            siteEx->OnInPlaceActivateEx(&noRedraw, 0);  // 0: with a window of its own
        else
            site->OnInPlaceActivate();

        HWND siteWindow = nullptr;
        if (FAILED(site->GetWindow(&siteWindow)) || !siteWindow)
            siteWindow = parent;
        RECT place{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{sizeof(frameInfo)};
        frame_.Reset();
        document_.Reset();
        if (FAILED(site->GetWindowContext(frame_.ReleaseAndGetAddressOf(), document_.ReleaseAndGetAddressOf(), &place,
                                          &clip, &frameInfo))) {
            if (!position)
                return E_FAIL;
            place = clip = *position;
        }
        if (!siteWindow) {
            InPlaceDeactivate();
            return E_FAIL;
        }
        if (!window_) {
            const HRESULT hr = createWindow(siteWindow, place);
            if (FAILED(hr)) {
                InPlaceDeactivate();
                return hr;
            }
        } else {
            SetParent(window_, siteWindow);
            SetObjectRects(&place, &clip);
        }
    }
    if (window_)
        ShowWindow(window_, SW_SHOW);
    if (wantUiActive)
        return uiActivate();
    return S_OK;
}

HRESULT ActiveXControl::uiActivate()
{
    if (uiActive_ || !inPlaceSite_)
        return S_OK;
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    if (window_ && GetFocus() != window_)
        SetFocus(window_);
    if (frame_)
        frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    if (document_)
        document_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    return S_OK;
}

HRESULT ActiveXControl::createWindow(HWND parent, const RECT& position)
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &ActiveXControl::WindowProc;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    if (!Win::RegisterModuleWindowClass(windowClass))
        return HRESULT_FROM_WIN32(GetLastError());
    const HINSTANCE instance = Win::ThisModule();
    const HWND created = CreateWindowExW(0, kWindowClass, L"", kWindowStyle, position.left, position.top,
                                         position.right - position.left, position.bottom - position.top, parent,
                                         nullptr, instance, this);
    if (!created)
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

void ActiveXControl::destroyWindow()
{
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
    window_ = nullptr;
}

STDMETHODIMP ActiveXControl::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP ActiveXControl::InPlaceDeactivate()
{
    try {
        if (!inPlaceActive_)
            return S_OK;
        UIDeactivate();
        inPlaceActive_ = false;
        destroyWindow();
        if (inPlaceSite_)
            inPlaceSite_->OnInPlaceDeactivate();
        inPlaceSite_.Reset();
        frame_.Reset();
        document_.Reset();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ActiveXControl::UIDeactivate()
{
    if (!uiActive_)
        return S_OK;
    uiActive_ = false;
    if (frame_)
        frame_->SetActiveObject(nullptr, nullptr);
    if (document_)
        document_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_)
        inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP ActiveXControl::SetObjectRects(LPCRECT position, LPCRECT)
{
    if (!position)
        return E_POINTER;
    if (window_)
        SetWindowPos(window_, nullptr, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetDropTarget(IDropTarget** target)
{
    if (target)
        *target = nullptr;
    return E_NOTIMPL;
}

// ---- IOleControl -----------------------------------------------------------------------

STDMETHODIMP ActiveXControl::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// ---- Views -----------------------------------------------------------------------------

STDMETHODIMP ActiveXControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                  BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    try {
        if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_OPAQUE)
            return DV_E_DVASPECT;
        if (!dc)
            return E_INVALIDARG;
        RECT area{};
        if (bounds) {
            area = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
        } else if (window_) {
            GetClientRect(window_, &area);
        } else {
            return E_INVALIDARG;
        }
        drawContent(dc, area);
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ActiveXControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = sink;
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_.Get();
        if (*sink)
            (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

STDMETHODIMP ActiveXControl::GetRect(DWORD aspect, LPRECTL rect)
{
    if (!rect)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *rect = RECTL{0, 0, extent_.cx, extent_.cy};
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetViewStatus(DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    return S_OK;
}

STDMETHODIMP ActiveXControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG, DWORD* result)
{
    if (!bounds || !result)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    *result = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP ActiveXControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG, DWORD* result)
{
    if (!bounds || !location || !result)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    RECT overlap{};
    *result = IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

// ---- Persistence -----------------------------------------------------------------------

STDMETHODIMP ActiveXControl::GetClassID(CLSID* classId)
{
    if (!classId)
        return E_POINTER;
    *classId = identity_.classId;
    return S_OK;
}

STDMETHODIMP ActiveXControl::Load(LPSTREAM stream)
{
    if (!stream)
        return E_POINTER;
    DWORD record[3] = {};
    ULONG read = 0;
    const HRESULT hr = stream->Read(record, sizeof(record), &read);
    if (FAILED(hr))
        return hr;
    if (read != sizeof(record) || record[0] != kStreamVersion)
        return E_FAIL;
    const LONG cx = static_cast<LONG>(record[1]);
    const LONG cy = static_cast<LONG>(record[2]);
    if (cx < 0 || cy < 0)
        return E_FAIL;
    extent_ = SIZEL{cx, cy};
    dirty_ = false;
    return S_OK;
}

STDMETHODIMP ActiveXControl::Save(LPSTREAM stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    const DWORD record[3] = {kStreamVersion, static_cast<DWORD>(extent_.cx), static_cast<DWORD>(extent_.cy)};
    ULONG written = 0;
    const HRESULT hr = stream->Write(record, sizeof(record), &written);
    if (FAILED(hr))
        return hr;
    if (written != sizeof(record))
        return STG_E_CANTSAVE;
    if (clearDirty)
        dirty_ = false;
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 3 * sizeof(DWORD);
    return S_OK;
}

STDMETHODIMP ActiveXControl::InitNew()
{
    dirty_ = false;
    return S_OK;
}

STDMETHODIMP ActiveXControl::Load(IStorage* storage)
{
    if (!storage)
        return E_POINTER;
    ComPtr<IStream> stream;
    const HRESULT hr = storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                           stream.ReleaseAndGetAddressOf());
    if (FAILED(hr))
        return hr;
    return Load(stream.Get());
}

STDMETHODIMP ActiveXControl::Save(IStorage* storage, BOOL)
{
    if (!storage)
        return E_POINTER;
    ComPtr<IStream> stream;
    const HRESULT hr = storage->CreateStream(L"Contents", STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0,
                                             stream.ReleaseAndGetAddressOf());
    if (FAILED(hr))
        return hr;
    return Save(stream.Get(), TRUE);
}

// ---- Small interfaces ------------------------------------------------------------------

STDMETHODIMP ActiveXControl::InterfaceSupportsErrorInfo(REFIID iid) { return supportsErrorInfo(iid) ? S_OK : S_FALSE; }

STDMETHODIMP ActiveXControl::SetSite(IUnknown* site)
{
    site_ = site;
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetSite(REFIID iid, void** site)
{
    if (!site)
        return E_POINTER;
    *site = nullptr;
    if (!site_)
        return E_FAIL;
    return site_->QueryInterface(iid, site);
}

STDMETHODIMP ActiveXControl::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}

STDMETHODIMP ActiveXControl::QuickActivate(QACONTAINER* container, QACONTROL* control)
{
    if (!container || !control)
        return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    try {
        HRESULT hr = SetClientSite(container->pClientSite);
        if (FAILED(hr))
            return hr;
        if (container->pAdviseSink)
            SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
        control->dwMiscStatus = identity_.miscStatus;
        GetViewStatus(&control->dwViewStatus);
        control->dwEventCookie = 0;
        control->dwPropNotifyCookie = 0;
        control->dwPointerActivationPolicy = 0;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ActiveXControl::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out)
        out->ptd = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ActiveXControl::EnumFormatEtc(DWORD, IEnumFORMATETC** formats)
{
    if (formats)
        *formats = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ActiveXControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection)
{
    if (!connection)
        return E_POINTER;
    *connection = 0;
    if (!dataAdvise_) {
        const HRESULT hr = CreateDataAdviseHolder(dataAdvise_.ReleaseAndGetAddressOf());
        if (FAILED(hr))
            return hr;
    }
    return dataAdvise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

STDMETHODIMP ActiveXControl::DUnadvise(DWORD connection)
{
    return dataAdvise_ ? dataAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP ActiveXControl::EnumDAdvise(IEnumSTATDATA** advises)
{
    if (!advises)
        return E_POINTER;
    *advises = nullptr;
    return dataAdvise_ ? dataAdvise_->EnumAdvise(advises) : E_FAIL;
}

STDMETHODIMP ActiveXControl::GetClassInfo(ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    ComPtr<ITypeInfo> typeInfo;
    const HRESULT hr = TypeLibrary::TypeInfoOf(identity_.libraryId, identity_.libraryMajor, identity_.libraryMinor,
                                               identity_.classId, typeInfo);
    if (FAILED(hr))
        return hr;
    *info = typeInfo.Detach();
    return S_OK;
}

STDMETHODIMP ActiveXControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
        return E_INVALIDARG;
    return E_FAIL;  // the control raises no events through a source interface
}

STDMETHODIMP ActiveXControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled)
        return E_POINTER;
    *supported = *enabled = 0;
    ComPtr<IUnknown> answered;
    if (FAILED(QueryInterface(iid, reinterpret_cast<void**>(answered.GetAddressOf()))))
        return E_NOINTERFACE;
    *supported = kSafetyOptions;
    *enabled = safety_;
    return S_OK;
}

STDMETHODIMP ActiveXControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
{
    ComPtr<IUnknown> answered;
    if (FAILED(QueryInterface(iid, reinterpret_cast<void**>(answered.GetAddressOf()))))
        return E_NOINTERFACE;
    if (mask & ~kSafetyOptions)
        return E_FAIL;
    safety_ = (safety_ & ~mask) | (enabled & mask);
    return S_OK;
}

// ---- The window ------------------------------------------------------------------------

LRESULT ActiveXControl::onMessage(UINT message, WPARAM, LPARAM, bool& handled)
{
    switch (message) {
    case WM_MOUSEACTIVATE:
        uiActivate();
        handled = true;
        return MA_ACTIVATE;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (clientSite_) {
            ComPtr<IOleControlSite> controlSite;
            if (SUCCEEDED(clientSite_.As(&controlSite)))
                controlSite->OnFocus(message == WM_SETFOCUS);
        }
        return 0;
    default:
        return 0;
    }
}

LRESULT CALLBACK ActiveXControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_NCCREATE) {
            auto* control = static_cast<ActiveXControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
            control->window_ = window;
        }
        auto* control = reinterpret_cast<ActiveXControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!control)
            return DefWindowProcW(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            control->window_ = nullptr;
            return DefWindowProcW(window, message, wParam, lParam);
        }
        bool handled = false;
        const LRESULT result = control->onMessage(message, wParam, lParam, handled);
        if (handled)
            return result;
        return DefWindowProcW(window, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace Vantor
