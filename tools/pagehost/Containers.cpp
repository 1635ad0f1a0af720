#include "Containers.h"

#include "Output.h"

#include <ole2.h>

#include <cwchar>

#include <algorithm>

namespace PageHost {

Vantor::ComPtr<IUnknown> IdentityOf(IUnknown* object)
{
    Vantor::ComPtr<IUnknown> identity;
    if (object)
        object->QueryInterface(IID_PPV_ARGS(identity.GetAddressOf()));
    return identity;
}

bool Containers::Init()
{
    const HMODULE atl = LoadLibraryW(L"atl.dll");
    if (!atl)
        return false;
    using InitFunction = BOOL(WINAPI*)();
    const auto init = reinterpret_cast<InitFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    getControl_ = reinterpret_cast<GetControlFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    attachControl_ =
        reinterpret_cast<AttachControlFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxAttachControl")));
    return init && getControl_ && attachControl_ && init();
}

Vantor::ComPtr<IUnknown> Containers::Create(HWND frame, const RECT& place, const wchar_t* progId, HRESULT& why)
{
    why = S_OK;
    const HWND container =
        CreateWindowExW(0, L"AtlAxWin", progId, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, place.left,
                        place.top, place.right - place.left, place.bottom - place.top, frame, nullptr,
                        GetModuleHandleW(nullptr), nullptr);
    Vantor::ComPtr<IUnknown> control;
    if (!container || FAILED(getControl_(container, control.GetAddressOf())) || !control) {
        if (container)
            DestroyWindow(container);
        // The container keeps the reason to itself: ask COM directly to name it.
        CLSID classId{};
        why = CLSIDFromProgID(progId, &classId);
        if (SUCCEEDED(why)) {
            Vantor::ComPtr<IOleObject> probe;
            why = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(probe.GetAddressOf()));
            if (probe)
                probe->SetClientSite(nullptr);
        }
        if (SUCCEEDED(why))
            why = E_FAIL;
        return nullptr;
    }
    hosted_.push_back({container, IdentityOf(control.Get())});
    return control;
}

void Containers::Adopt(IUnknown* control)
{
    if (!find(control))
        hosted_.push_back({nullptr, IdentityOf(control)});
}

bool Containers::Attach(HWND frame, const RECT& place, IUnknown* control)
{
    const Vantor::ComPtr<IUnknown> identity = IdentityOf(control);
    const auto it = std::find_if(hosted_.begin(), hosted_.end(),
                                 [&](const Hosted& h) { return h.control.Get() == identity.Get(); });
    if (it == hosted_.end() || it->container)
        return false;
    // A plain window that AtlAxAttachControl makes a container of (an AtlAxWin window would
    // make a container of its own on creation).
    static const bool registered = [] {
        WNDCLASSEXW slot{sizeof(slot)};
        slot.lpfnWndProc = DefWindowProcW;
        slot.hInstance = GetModuleHandleW(nullptr);
        slot.lpszClassName = L"FotoloftPageSlot";
        return RegisterClassExW(&slot) != 0;
    }();
    if (!registered)
        return false;
    const HWND container = CreateWindowExW(0, L"FotoloftPageSlot", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                           place.left, place.top, place.right - place.left,
                                           place.bottom - place.top, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!container)
        return false;
    // The container object is kept: let go, it would let go of the control's site.
    Vantor::ComPtr<IUnknown> site;
    const HRESULT attached = attachControl_(identity.Get(), container, site.GetAddressOf());
    if (FAILED(attached)) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(attached));
        PrintError(std::wstring(L"the container refused the control; ATL says ") + code);
        DestroyWindow(container);
        return false;
    }
    it->container = container;
    it->site = site;
    return true;
}

bool Containers::Deactivate(IUnknown* control)
{
    Vantor::ComPtr<IOleInPlaceObject> inPlace;
    const Hosted* hosted = find(control);
    if (!hosted || !hosted->container ||
        FAILED(hosted->control->QueryInterface(IID_PPV_ARGS(inPlace.GetAddressOf()))))
        return false;
    return SUCCEEDED(inPlace->InPlaceDeactivate());
}

bool Containers::Activate(IUnknown* control)
{
    Vantor::ComPtr<IOleObject> object;
    Vantor::ComPtr<IOleClientSite> site;
    const Hosted* hosted = find(control);
    if (!hosted || !hosted->container ||
        FAILED(hosted->control->QueryInterface(IID_PPV_ARGS(object.GetAddressOf()))) ||
        FAILED(object->GetClientSite(site.GetAddressOf())) || !site) {
        PrintError(L"activate: the control has no container or no site");
        return false;
    }
    RECT place{};
    GetClientRect(hosted->container, &place);
    return SUCCEEDED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, hosted->container, &place));
}

bool Containers::Remove(IUnknown* control)
{
    const Vantor::ComPtr<IUnknown> identity = IdentityOf(control);
    const auto it = std::find_if(hosted_.begin(), hosted_.end(),
                                 [&](const Hosted& h) { return h.control.Get() == identity.Get(); });
    if (it == hosted_.end())
        return false;
    Hosted hosted = std::move(*it);
    hosted_.erase(it);
    if (hosted.container && IsWindow(hosted.container))
        DestroyWindow(hosted.container);  // the container closes the control on its way out
    hosted.site.Reset();
    return true;
}

void Containers::RemoveAll()
{
    while (!hosted_.empty())
        Remove(hosted_.back().control.Get());
}

HWND Containers::ControlWindow(IUnknown* control) const
{
    const Hosted* hosted = find(control);
    Vantor::ComPtr<IOleWindow> window;
    HWND handle = nullptr;
    if (hosted && SUCCEEDED(hosted->control->QueryInterface(IID_PPV_ARGS(window.GetAddressOf()))))
        window->GetWindow(&handle);
    return handle;
}

IUnknown* Containers::First() const { return hosted_.empty() ? nullptr : hosted_.front().control.Get(); }

const Containers::Hosted* Containers::find(IUnknown* control) const
{
    const Vantor::ComPtr<IUnknown> identity = IdentityOf(control);
    for (const Hosted& hosted : hosted_)
        if (identity && hosted.control.Get() == identity.Get())
            return &hosted;
    return nullptr;
}

}  // namespace PageHost
