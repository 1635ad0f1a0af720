#include "control/PageChannel.h"

#include <dispex.h>

namespace Vantor {

void PageChannel::Send(std::wstring text)
{
    outgoing_.push_back(std::move(text));
    if (delivering_) {
        // Sent from inside the page's function (or while it pumps messages): it goes after
        // the function has returned, from the window's own message loop.
        postDelivery();
        return;
    }
    deliver();
}

void PageChannel::OnDeliverMessage()
{
    deliveryPosted_ = false;
    deliver();
}

void PageChannel::OnWindowCreated()
{
    // The window that posted a delivery may be gone with its message.
    deliveryPosted_ = false;
    if (!outgoing_.empty())
        postDelivery();
}

void PageChannel::postDelivery()
{
    const HWND window = window_ ? window_() : nullptr;
    if (!deliveryPosted_ && window)
        deliveryPosted_ = PostMessageW(window, kDeliverMessage, 0, 0) != FALSE;
}

void PageChannel::deliver()
{
    constexpr int kRoundsWithoutWindow = 64;
    for (int round = 0; round < kRoundsWithoutWindow && !outgoing_.empty() && !delivering_; ++round) {
        std::deque<std::wstring> texts;
        texts.swap(outgoing_);
        delivering_ = true;
        for (const std::wstring& text : texts) {
            try {
                invoke(text);
            } catch (...) {
            }
        }
        delivering_ = false;
        if (window_ && window_())
            break;
    }
    if (!outgoing_.empty())
        postDelivery();
}

void PageChannel::invoke(const std::wstring& text)
{
    const ComPtr<IDispatch> receiver = receiver_;  // the page may replace it during the call
    if (!receiver)
        return;
    const BStr json(text.data(), static_cast<UINT>(text.size()));
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = json.get();  // still ours
    DISPPARAMS params{&argument, nullptr, 1, 0};
    ComPtr<IDispatchEx> function;
    if (SUCCEEDED(receiver.As(&function)))
        function->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    else
        receiver->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                         nullptr);
}

}  // namespace Vantor
