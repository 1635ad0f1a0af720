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

void PageChannel::postDelivery()
{
    if (deliveryPosted_)
        return;
    deliveryPosted_ = window_.Post([this] {
        deliveryPosted_ = false;
        // Run from a loop inside the page's function (an alert): the texts wait for it to
        // return, and its end posts the delivery again. Posting it again from here would
        // only come back here at once, for as long as the function runs.
        if (!delivering_)
            deliver();
    });
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
        if (window_.HasWindow())
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
