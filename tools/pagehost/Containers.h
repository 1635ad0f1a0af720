#pragma once
// The page's embedded controls, each in its own ATL container window (AtlAxWin) inside the
// page's frame, and what a page does to them: make one, put a control made earlier into a
// container (a control that got messages before it was shown), deactivate and re-activate it
// in place (the page hides it and shows it again), and remove it (the container closes and
// lets go of it).
#include "platform/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace PageHost {

class Containers {
public:
    // Loads Wine's ATL and registers its container class; false when it cannot.
    bool Init();

    // A new container at `place` in `frame` holding a new control of that ProgID; null (and
    // COM's reason in `why`) when it could not be made.
    Vantor::ComPtr<IUnknown> Create(HWND frame, const RECT& place, const wchar_t* progId, HRESULT& why);
    // A control made without a container (CoCreateInstance), remembered until Attach.
    void Adopt(IUnknown* control);
    // Sites an adopted control in a new container at `place`.
    bool Attach(HWND frame, const RECT& place, IUnknown* control);
    bool Deactivate(IUnknown* control);
    bool Activate(IUnknown* control);
    // Destroys the control's container, which closes the control and releases it.
    bool Remove(IUnknown* control);
    void RemoveAll();

    // The control's own window (none while it is deactivated or not attached).
    HWND ControlWindow(IUnknown* control) const;
    // The first control made (the page's "control"), if it is still there.
    IUnknown* First() const;

private:
    struct Hosted {
        HWND container = nullptr;
        Vantor::ComPtr<IUnknown> control;  // the object's identity
        Vantor::ComPtr<IUnknown> site;     // the container object of an attached control
    };
    const Hosted* find(IUnknown* control) const;

    using GetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);
    using AttachControlFunction = HRESULT(WINAPI*)(IUnknown*, HWND, IUnknown**);
    GetControlFunction getControl_ = nullptr;
    AttachControlFunction attachControl_ = nullptr;
    std::vector<Hosted> hosted_;
};

// The identity (IUnknown) of a COM object, for comparing two pointers to it.
Vantor::ComPtr<IUnknown> IdentityOf(IUnknown* object);

}  // namespace PageHost
