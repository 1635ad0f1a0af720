#include "HostObject.h"

#include "AccessibleProbe.h"
#include "Output.h"
#include "PageHost.h"
#include "ProcessCounts.h"

#include <cwchar>
#include <string>

namespace PageHost {
namespace {

enum : DISPID {
    kEcho = 1,
    kSleep,
    kQuit,
    kClick,
    kScreenshot,
    kAttach,
    kDeactivate,
    kActivate,
    kAddControl,
    kRemoveControl,
    kModalRunning,
    kLater,
    kHandleCount,
    kThreadCount,
    kMemoryBytes,
    kKey,
    kType,
    kAccessibleTree,
    kWatchEvents,
    kEvents,
    kAddPageField,
    kFocusIn,
};

struct Member {
    const wchar_t* name;
    DISPID id;
    UINT arguments;
};
constexpr Member kMembers[] = {
    {L"echo", kEcho, 1},
    {L"sleep", kSleep, 1},
    {L"quit", kQuit, 0},
    {L"click", kClick, 2},
    {L"screenshot", kScreenshot, 1},
    {L"attach", kAttach, 0},
    {L"deactivate", kDeactivate, 0},
    {L"activate", kActivate, 0},
    {L"addControl", kAddControl, 0},
    {L"removeControl", kRemoveControl, 0},
    {L"modalRunning", kModalRunning, 0},
    {L"later", kLater, 2},
    {L"handleCount", kHandleCount, 0},
    {L"threadCount", kThreadCount, 0},
    {L"memoryBytes", kMemoryBytes, 0},
    // The keyboard and what assistive technology reads (AccessibleProbe.h).
    {L"key", kKey, 1},
    {L"type", kType, 1},
    {L"accessibleTree", kAccessibleTree, 0},
    {L"watchEvents", kWatchEvents, 0},
    {L"events", kEvents, 0},
    {L"addPageField", kAddPageField, 0},
    {L"focusIn", kFocusIn, 0},
};

WinEventRecorder& Recorder()
{
    static WinEventRecorder recorder;
    return recorder;
}

void SetText(VARIANT* result, const std::wstring& text)
{
    if (result) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
}

VARIANT* Argument(DISPPARAMS* params, UINT index)
{
    if (!params || index >= params->cArgs)
        return nullptr;
    return &params->rgvarg[params->cArgs - 1 - index];
}

bool ArgumentText(DISPPARAMS* params, UINT index, std::wstring& out)
{
    VARIANT* argument = Argument(params, index);
    if (!argument)
        return false;
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, argument, VARIANT_ALPHABOOL, VT_BSTR)))
        return false;
    out.assign(text.bstrVal ? text.bstrVal : L"", text.bstrVal ? SysStringLen(text.bstrVal) : 0);
    VariantClear(&text);
    return true;
}

bool ArgumentNumber(DISPPARAMS* params, UINT index, long& out)
{
    VARIANT* argument = Argument(params, index);
    if (!argument)
        return false;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, argument, 0, VT_I4)))
        return false;
    out = number.lVal;
    return true;
}

// An optional object argument (a control); null when missing, undefined or null.
IUnknown* ArgumentObject(DISPPARAMS* params, UINT index)
{
    VARIANT* argument = Argument(params, index);
    while (argument && argument->vt == (VT_VARIANT | VT_BYREF))
        argument = argument->pvarVal;
    if (!argument)
        return nullptr;
    if (argument->vt == VT_DISPATCH)
        return argument->pdispVal;
    if (argument->vt == VT_UNKNOWN)
        return argument->punkVal;
    return nullptr;
}

void SetNumber(VARIANT* result, double value)
{
    if (result) {
        result->vt = VT_R8;
        result->dblVal = value;
    }
}

HRESULT Fail(EXCEPINFO* error, const wchar_t* message)
{
    if (error) {
        *error = EXCEPINFO{};
        error->bstrSource = SysAllocString(L"host");
        error->bstrDescription = SysAllocString(message);
        error->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

}  // namespace

STDMETHODIMP HostObject::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP HostObject::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (const Member& member : kMembers) {
        if (names[0] && wcscmp(names[0], member.name) == 0) {
            ids[0] = member.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP HostObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* error, UINT*)
{
    try {
        if (result)
            VariantInit(result);
        const Member* member = nullptr;
        for (const Member& m : kMembers)
            if (m.id == id)
                member = &m;
        if (!member || !(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        if (page_.quitRequested())
            return Fail(error, L"quit");  // unwinds the script
        if (!params || params->cArgs < member->arguments)
            return DISP_E_BADPARAMCOUNT;

        switch (id) {
        case kEcho: {
            std::wstring text;
            if (!ArgumentText(params, 0, text))
                return DISP_E_TYPEMISMATCH;
            Print(text);
            return S_OK;
        }
        case kSleep: {
            long milliseconds = 0;
            if (!ArgumentNumber(params, 0, milliseconds))
                return DISP_E_TYPEMISMATCH;
            page_.sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
            return page_.quitRequested() ? Fail(error, L"quit") : S_OK;
        }
        case kQuit: {
            long code = 0;
            if (params->cArgs > 0 && !ArgumentNumber(params, 0, code))
                return DISP_E_TYPEMISMATCH;
            page_.requestQuit(static_cast<int>(code));
            return Fail(error, L"quit");
        }
        case kClick: {
            long x = 0, y = 0;
            if (!ArgumentNumber(params, 0, x) || !ArgumentNumber(params, 1, y))
                return DISP_E_TYPEMISMATCH;
            return page_.click(x, y, ArgumentObject(params, 2)) ? S_OK : Fail(error, L"click: the control has no window");
        }
        case kScreenshot: {
            std::wstring path;
            if (!ArgumentText(params, 0, path))
                return DISP_E_TYPEMISMATCH;
            return page_.screenshot(path, ArgumentObject(params, 1)) ? S_OK
                                                                      : Fail(error, L"screenshot: could not write the file");
        }
        case kKey:
        case kType: {
            std::wstring text;
            if (!ArgumentText(params, 0, text))
                return DISP_E_TYPEMISMATCH;
            if (!(id == kKey ? SendKeyChord(text) : SendText(text)))
                return Fail(error, L"key: unknown key or no input");
            page_.sleep(80);  // the key reaches its window
            return S_OK;
        }
        case kAccessibleTree: {
            // With a title: that window of the page's (a dialog, the edit window) instead.
            std::wstring title;
            if (params && params->cArgs > 0 && !ArgumentText(params, 0, title))
                return DISP_E_TYPEMISMATCH;
            SetText(result, DumpAccessibleTree(title.empty() ? FindControlWindow() : FindTopWindow(title)));
            return S_OK;
        }
        case kWatchEvents:
            Recorder().Start(FindControlWindow());
            return S_OK;
        case kEvents:
            page_.sleep(50);  // the events of the last step arrive
            SetText(result, Recorder().Take());
            return S_OK;
        case kAddPageField:
            return page_.addPageField() ? S_OK : Fail(error, L"addPageField: no field");
        case kFocusIn:
            SetText(result, page_.focusIn());
            return S_OK;
        case kAttach:
            return page_.attach() ? S_OK : Fail(error, L"attach: the control could not be put in a container");
        case kDeactivate:
            return page_.deactivate(ArgumentObject(params, 0)) ? S_OK : Fail(error, L"deactivate failed");
        case kActivate:
            return page_.activate(ArgumentObject(params, 0)) ? S_OK : Fail(error, L"activate failed");
        case kAddControl: {
            long place[4] = {0, 0, 0, 0};
            if (params->cArgs >= 4)
                for (UINT i = 0; i < 4; ++i)
                    if (!ArgumentNumber(params, i, place[i]))
                        return DISP_E_TYPEMISMATCH;
            const Vantor::ComPtr<IUnknown> control =
                page_.addControl(RECT{place[0], place[1], place[0] + place[2], place[1] + place[3]});
            Vantor::ComPtr<IDispatch> dispatch;
            if (!control || FAILED(control.As(&dispatch)))
                return Fail(error, L"addControl: the control could not be made");
            if (result) {
                result->vt = VT_DISPATCH;
                result->pdispVal = dispatch.Detach();
            }
            return S_OK;
        }
        case kRemoveControl:
            return page_.removeControl(ArgumentObject(params, 0)) ? S_OK : Fail(error, L"removeControl: no such control");
        case kModalRunning:
            if (result) {
                result->vt = VT_BOOL;
                result->boolVal = page_.modalRunning() ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        case kLater: {
            long milliseconds = 0;
            IUnknown* const function = ArgumentObject(params, 1);
            Vantor::ComPtr<IDispatch> dispatch;
            if (!ArgumentNumber(params, 0, milliseconds) || !function ||
                FAILED(function->QueryInterface(IID_PPV_ARGS(dispatch.GetAddressOf()))))
                return DISP_E_TYPEMISMATCH;
            return page_.later(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0, dispatch.Get())
                       ? S_OK
                       : Fail(error, L"later: no timer");
        }
        case kHandleCount:
            SetNumber(result, HandleCount());
            return S_OK;
        case kThreadCount:
            SetNumber(result, ThreadCount());
            return S_OK;
        case kMemoryBytes:
            SetNumber(result, static_cast<double>(CommittedPrivateBytes()));
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace PageHost
