#pragma once
// The way out to the page: its recvMessage function and the texts for it, in the order sent.
//
// Re-entrancy: the page's function is never entered twice. A text sent while it runs (from
// inside it, or while it pumps messages, as an alert does) waits until it has returned and
// then goes from the control window's own message loop (kDeliverMessage). Without a window
// (a control never shown) the texts sent by the function go after it returns, for a bounded
// number of rounds; the rest goes once a window exists.
//
// Window thread only; other threads reach it through the global interface table (JsonSender),
// whose calls are marshalled here.
#include "platform/Handles.h"

#include <oaidl.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <string>

namespace Vantor {

class PageChannel {
public:
    // Posted to the control window to deliver texts sent while the page's function ran.
    static constexpr UINT kDeliverMessage = WM_USER + 101;

    // `window` names the control window now (none while it has none).
    explicit PageChannel(std::function<HWND()> window) : window_(std::move(window)) {}
    PageChannel(const PageChannel&) = delete;
    PageChannel& operator=(const PageChannel&) = delete;

    // The page's function: replaced (the new one referenced, the old released); none clears it.
    void SetReceiver(IDispatch* receiver) { receiver_ = receiver; }
    // One text for the page: delivered now, or after the running call (see above).
    void Send(std::wstring text);
    // kDeliverMessage arrived.
    void OnDeliverMessage();
    // The control has a window again: what waits goes from its loop.
    void OnWindowCreated();

private:
    void deliver();
    void invoke(const std::wstring& text);
    void postDelivery();

    const std::function<HWND()> window_;
    ComPtr<IDispatch> receiver_;
    std::deque<std::wstring> outgoing_;
    bool delivering_ = false;
    bool deliveryPosted_ = false;
};

}  // namespace Vantor
