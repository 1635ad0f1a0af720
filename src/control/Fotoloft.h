#pragma once
// CFotoloft: the ActiveX control a page embeds. It lives in the page's single-threaded
// apartment and owns one child window, the main panel. The page talks to it through
// IFotoloft: postMessage (JSON in), recvMessage (the page's function for JSON out) and
// FireRecvMessage (hands a text to that function).
//
// Notifications from worker threads reach the window thread through MsgQueue; outgoing texts
// reach the page from any thread through sendJson. The window's painting and mouse go to the
// root of its owner-drawn control tree, the main panel (a member: ControlBase's Release()
// cannot share a class with IUnknown's).
#include "control/AppConfig.h"
#include "control/FotoloftIds.h"
#include "control/JsonSender.h"
#include "control/MainPanel.h"
#include "control/MessageBridge.h"
#include "platform/ActiveXControl.h"

#include <json/value.h>

#include <cstdint>
#include <string>

namespace Vantor {

class CFotoloft : public ActiveXControl, public IFotoloft {
public:
    // Dispatch ids of IFotoloft's members.
    enum : DISPID { kPostMessage = 1, kFireRecvMessage = 2, kRecvMessage = 3 };

    // The class factory's creator: makes, constructs and returns the control.
    static HRESULT Create(REFIID iid, void** out) noexcept;

    CFotoloft();
    ~CFotoloft() override;

    // The construction step that runs before the host uses the object; a failure means no
    // control.
    HRESULT construct();

    // Any thread: writes the message compactly and raises the page's recvMessage with it on
    // the window thread.
    void sendJson(const ::Json::Value& message);

    // IUnknown: one identity for every interface.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ActiveXControl::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return ActiveXControl::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return ActiveXControl::Release(); }
    void* queryInterface(REFIID iid) override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* badArgument) override;

    // IFotoloft
    STDMETHODIMP postMessage(BSTR newVal) override;
    STDMETHODIMP FireRecvMessage(BSTR json) override;
    STDMETHODIMP put_recvMessage(IDispatch* newVal) override;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void drawContent(HDC dc, const RECT& bounds) override;
    void onSiteAttached() override;
    void onSiteReleased() override;
    bool supportsErrorInfo(REFIID iid) const override { return iid == IID_IFotoloft; }

private:
    void registerInternalHandlers();
    void applyAddLimits();
    void onPaint();
    void paintTree(HDC dc, HDC spare);
    bool onMouse(UINT message, WPARAM wParam, LPARAM lParam);
    // The upload engine's notifications, handled on the window thread.
    void onFileProgress(int32_t key);
    void onFileComplete(int32_t key);
    void onFileError(int32_t key);
    void onTaskEnd(int32_t key);
    void onTaskComplete(int32_t key);

    MainPanel panel_;
    ControlBase* pressed_ = nullptr;  // the control that took the last button press
    bool mouseTracked_ = false;
    MessageBridge bridge_;
    ComPtr<IDispatch> receiver_;  // the page's recvMessage function
    JsonSender sender_;
    ULONG_PTR gdiplusToken_ = 0;
};

}  // namespace Vantor
