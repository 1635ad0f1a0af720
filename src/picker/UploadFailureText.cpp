#include "picker/UploadFailureText.h"

#include "Biz/JsonText.h"
#include "platform/TextConv.h"
#include "ui/UiText.h"

namespace Vantor {
namespace {

std::wstring StatusText(uint32_t status) { return status ? L" " + std::to_wstring(status) : std::wstring(); }

// The server's own words about the refusal: a text member "msg", "message" or "error" of a
// JSON reply, at most 60 characters.
std::wstring ServerMessage(const std::string& reply)
{
    ::Json::Value parsed;
    if (reply.empty() || !JsonText::Parse(reply, parsed) || !parsed.isObject())
        return {};
    for (const char* key : {"msg", "message", "error"}) {
        const ::Json::Value& member = JsonText::Member(parsed, key);
        if (member.isString() && !member.asString().empty()) {
            std::wstring text = Utf8ToUtf16(member.asString());
            if (text.size() > 60)
                text = text.substr(0, 59) + L"\u2026";
            return text;
        }
    }
    return {};
}

}  // namespace

std::wstring FailureBandText(const UploadFailure& failure, UI::Language language)
{
    using UI::TextId;
    const auto say = [language](TextId id) { return std::wstring(UI::Text(language, id)); };
    switch (failure.reason) {
    case FailureReason::None:
        return say(TextId::BandFailed);
    case FailureReason::Unreadable:
        return say(TextId::BandUnreadable);
    case FailureReason::CannotConnect:
        return say(TextId::BandCannotConnect);
    case FailureReason::ConnectionLost:
        return say(TextId::BandConnectionLost);
    case FailureReason::TimedOut:
        return say(TextId::BandTimedOut);
    case FailureReason::HttpStatus:
        return UI::FormatText(language, TextId::BandRefused, {StatusText(failure.status)});
    case FailureReason::NotAccepted:
        return say(TextId::BandNotAccepted);
    case FailureReason::BadReply:
        return say(TextId::BandBadReply);
    case FailureReason::Redirected:
        return UI::FormatText(language, TextId::BandRedirected, {StatusText(failure.status)});
    case FailureReason::Unsupported:
        return say(TextId::BandUnsupported);
    case FailureReason::Stopped:
        return say(TextId::BandStopped);
    }
    return say(TextId::BandFailed);
}

std::wstring FailureHoverText(const UploadFailure& failure, UI::Language language)
{
    using UI::TextId;
    const std::wstring status =
        failure.status ? UI::FormatText(language, TextId::HttpStatus, {std::to_wstring(failure.status)}) : L"";
    const auto say = [language, &status](TextId id) { return UI::FormatText(language, id, {status}); };
    std::wstring text;
    switch (failure.reason) {
    case FailureReason::None:
        return UI::Text(language, TextId::HoverFailed);
    case FailureReason::Unreadable:
        return UI::Text(language, TextId::HoverUnreadable);
    case FailureReason::CannotConnect:
        return UI::Text(language, TextId::HoverCannotConnect);
    case FailureReason::ConnectionLost:
        return say(TextId::HoverConnectionLost);
    case FailureReason::TimedOut:
        return UI::Text(language, TextId::HoverTimedOut);
    case FailureReason::HttpStatus:
        text = say(TextId::HoverRefused);
        break;
    case FailureReason::NotAccepted:
        text = say(TextId::HoverNotAccepted);
        break;
    case FailureReason::BadReply:
        return say(TextId::HoverBadReply);
    case FailureReason::Redirected:
        return say(TextId::HoverRedirected);
    case FailureReason::Unsupported:
        return say(TextId::HoverUnsupported);
    case FailureReason::Stopped:
        return UI::Text(language, TextId::HoverStopped);
    }
    // The server's own words stay in the server's language.
    const std::wstring said = ServerMessage(failure.reply);
    if (!said.empty())
        text += UI::FormatText(language, TextId::ServerSaid, {said});
    return text;
}

std::wstring RetryingBandText(UI::Language language) { return UI::Text(language, UI::TextId::WaitingToRetry); }

}  // namespace Vantor
