#include "picker/UploadFailureText.h"

#include "Biz/JsonText.h"
#include "platform/TextConv.h"

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

std::wstring FailureBandText(const UploadFailure& failure)
{
    const std::wstring failed = L"\u5931\u8D25\uFF1A";  // "失败："
    switch (failure.reason) {
    case FailureReason::None:
        return L"\u4E0A\u4F20\u5931\u8D25";  // 上传失败
    case FailureReason::Unreadable:
        return failed + L"\u6587\u4EF6\u65E0\u6CD5\u8BFB\u53D6";  // 文件无法读取
    case FailureReason::CannotConnect:
        return failed + L"\u65E0\u6CD5\u8FDE\u63A5\u670D\u52A1\u5668";  // 无法连接服务器
    case FailureReason::ConnectionLost:
        return failed + L"\u8FDE\u63A5\u4E2D\u65AD";  // 连接中断
    case FailureReason::TimedOut:
        return failed + L"\u670D\u52A1\u5668\u65E0\u54CD\u5E94";  // 服务器无响应
    case FailureReason::HttpStatus:
        return failed + L"\u670D\u52A1\u5668\u62D2\u7EDD" + StatusText(failure.status);  // 服务器拒绝 N
    case FailureReason::NotAccepted:
        return failed + L"\u670D\u52A1\u5668\u672A\u63A5\u53D7";  // 服务器未接受
    case FailureReason::BadReply:
        return failed + L"\u56DE\u590D\u65E0\u6548";  // 回复无效
    case FailureReason::Redirected:
        return failed + L"\u88AB\u91CD\u5B9A\u5411" + StatusText(failure.status);  // 被重定向 N
    case FailureReason::Unsupported:
        return failed + L"\u534F\u8BAE\u4E0D\u7B26";  // 协议不符
    case FailureReason::Stopped:
        return L"\u5DF2\u53D6\u6D88";  // 已取消
    }
    return L"\u4E0A\u4F20\u5931\u8D25";
}

std::wstring FailureHoverText(const UploadFailure& failure)
{
    const std::wstring failed = L"\u4E0A\u4F20\u5931\u8D25\uFF1A";  // "上传失败："
    const std::wstring status = failure.status ? L"\uFF08HTTP " + std::to_wstring(failure.status) + L"\uFF09" : L"";
    std::wstring text;
    switch (failure.reason) {
    case FailureReason::None:
        return L"\u4E0A\u4F20\u5931\u8D25";
    case FailureReason::Unreadable:
        // 文件无法读取（已移动、删除或不是图片），没有发送
        return failed + L"\u6587\u4EF6\u65E0\u6CD5\u8BFB\u53D6\uFF08\u5DF2\u79FB\u52A8\u3001\u5220\u9664\u6216"
                        L"\u4E0D\u662F\u56FE\u7247\uFF09\uFF0C\u6CA1\u6709\u53D1\u9001";
    case FailureReason::CannotConnect:
        // 无法连接服务器，请检查网络或地址
        return failed + L"\u65E0\u6CD5\u8FDE\u63A5\u670D\u52A1\u5668\uFF0C\u8BF7\u68C0\u67E5\u7F51\u7EDC"
                        L"\u6216\u5730\u5740";
    case FailureReason::ConnectionLost:
        // 与服务器的连接中断了
        return failed + L"\u4E0E\u670D\u52A1\u5668\u7684\u8FDE\u63A5\u4E2D\u65AD\u4E86" + status;
    case FailureReason::TimedOut:
        // 服务器在限定时间内没有回应
        return failed + L"\u670D\u52A1\u5668\u5728\u9650\u5B9A\u65F6\u95F4\u5185\u6CA1\u6709\u56DE\u5E94";
    case FailureReason::HttpStatus:
        // 服务器拒绝了这个文件（HTTP N）
        text = failed + L"\u670D\u52A1\u5668\u62D2\u7EDD\u4E86\u8FD9\u4E2A\u6587\u4EF6" + status;
        break;
    case FailureReason::NotAccepted:
        // 服务器没有接受这个文件
        text = failed + L"\u670D\u52A1\u5668\u6CA1\u6709\u63A5\u53D7\u8FD9\u4E2A\u6587\u4EF6" + status;
        break;
    case FailureReason::BadReply:
        // 服务器的回复无法识别
        return failed + L"\u670D\u52A1\u5668\u7684\u56DE\u590D\u65E0\u6CD5\u8BC6\u522B" + status;
    case FailureReason::Redirected:
        // 服务器要求转到别的地址
        return failed + L"\u670D\u52A1\u5668\u8981\u6C42\u8F6C\u5230\u522B\u7684\u5730\u5740" + status;
    case FailureReason::Unsupported:
        // 服务器不支持这种上传协议（tus 1.0.0）
        return failed + L"\u670D\u52A1\u5668\u4E0D\u652F\u6301\u8FD9\u79CD\u4E0A\u4F20\u534F\u8BAE"
                        L"\uFF08tus 1.0.0\uFF09" + status;
    case FailureReason::Stopped:
        return L"\u4E0A\u4F20\u5DF2\u53D6\u6D88";  // 上传已取消
    }
    const std::wstring said = ServerMessage(failure.reply);
    if (!said.empty())
        text += L"\uFF1A" + said;
    return text;
}

std::wstring RetryingBandText()
{
    return L"\u7B49\u5F85\u91CD\u8BD5";  // 等待重试
}

}  // namespace Vantor
