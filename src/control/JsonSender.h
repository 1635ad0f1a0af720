#pragma once
// Delivers the control's outgoing JSON texts to the page from any thread. The global interface
// table holds a small forwarder of the control's thread, not the control: the table's reference
// is strong, and a control that held it on itself would live for ever under a container (or a
// script's `new ActiveXObject`) that never gives it a site and so never lets go through
// SetClientSite(NULL). Each text reaches the forwarder's FireRecvMessage, which COM runs on the
// control's window thread, and goes on to the control while it lives; detach() (the control's
// destructor at the latest) cuts the forwarder loose, and texts then go nowhere.
#include "platform/Handles.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

struct IFotoloft;

namespace Vantor {

class PageForwarder;

class JsonSender {
public:
    JsonSender();
    ~JsonSender();
    JsonSender(const JsonSender&) = delete;
    JsonSender& operator=(const JsonSender&) = delete;

    // On the control's thread: registers a forwarder to the control for other apartments. The
    // control is not referenced: it must call detach() before it goes.
    HRESULT attach(IFotoloft* control);
    // Revokes the registration; later texts are dropped.
    void detach();
    bool attached() const { return cookie_ != 0; }

    // Any thread. Texts from different threads are never delivered at the same time, except
    // that the control's own thread never waits for another sender: that sender may itself
    // be waiting for the control's thread to run its call.
    void send(const std::wstring& json);

private:
    std::mutex lock_;
    std::atomic<DWORD> cookie_{0};
    DWORD ownerThread_ = 0;
    ComPtr<PageForwarder> forwarder_;  // the control's thread only
};

}  // namespace Vantor
