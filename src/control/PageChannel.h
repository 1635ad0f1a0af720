#pragma once
// The way out to the page: its recvMessage function and the texts for it, in the order sent.
//
// Re-entrancy: the page's function is never entered twice. A text sent while it runs (from
// inside it, or while it pumps messages, as an alert does) waits until it has returned and
// then goes from the control window's own message loop (as the control's window work). Without a window
// (a control never shown) the texts sent by the function go after it returns, for a bounded
// number of rounds; the rest goes once a window exists.
//
// Window thread only; other threads reach it through the global interface table (JsonSender),
// whose calls are marshalled here.
#include "platform/Handles.h"
#include "platform/WindowTasks.h"

#include <oaidl.h>
#include <windows.h>

#include <deque>
#include <string>

namespace Vantor {

class PageChannel {
public:
    // Texts that wait go as work of the control's window, which runs it once there is one.
    explicit PageChannel(WindowTasks& window) : window_(window) {}
    PageChannel(const PageChannel&) = delete;
    PageChannel& operator=(const PageChannel&) = delete;

    // The page's function: replaced (the new one referenced, the old released); none clears it.
    void SetReceiver(IDispatch* receiver) { receiver_ = receiver; }
    // One text for the page: delivered now, or after the running call (see above).
    void Send(std::wstring text);

private:
    void deliver();
    void invoke(const std::wstring& text);
    void postDelivery();

    WindowTasks& window_;
    ComPtr<IDispatch> receiver_;
    std::deque<std::wstring> outgoing_;
    bool delivering_ = false;
    bool deliveryPosted_ = false;
};

}  // namespace Vantor
