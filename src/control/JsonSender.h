#pragma once
// Delivers the control's outgoing JSON texts to the page from any thread: the control's own
// IFotoloft is kept in the global interface table, and each text is handed to its
// FireRecvMessage, which COM runs on the control's window thread.
#include "platform/Handles.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

struct IFotoloft;

namespace Vantor {

class JsonSender {
public:
    JsonSender() = default;
    ~JsonSender();
    JsonSender(const JsonSender&) = delete;
    JsonSender& operator=(const JsonSender&) = delete;

    // On the control's thread: registers the control for other apartments.
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
};

}  // namespace Vantor
