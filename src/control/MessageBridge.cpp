#include "control/MessageBridge.h"

#include "Biz/Log.h"
#include "control/AppConfig.h"
#include "Biz/JsonText.h"
#include "control/OutgoingMessages.h"
#include "control/UploadPathRule.h"
#include "platform/TextConv.h"

#include <algorithm>

namespace Vantor {

MessageBridge::MessageBridge(AppConfig& config, Sender sender, Log& log)
    : config_(config), sender_(std::move(sender)), log_(log)
{
    handlers_["init"] = [this](const ::Json::Value& m) { onInit(m); };
    handlers_["setFields"] = [this](const ::Json::Value& m) { onSetFields(m); };
    handlers_["setFolder"] = [this](const ::Json::Value& m) { onSetFolder(m); };
    handlers_["addFile"] = [this](const ::Json::Value& m) { onAddFile(m); };
}

void MessageBridge::handle(std::wstring_view text) noexcept
{
    try {
        handleUtf8(Utf16ToUtf8(text));
    } catch (...) {
        // Nothing reaches the page; a bad message only ever does nothing.
    }
}

void MessageBridge::handleUtf8(std::string_view text) noexcept
{
    try {
        ::Json::Value message;
        if (!JsonText::Parse(text, message) || !message.isObject())
            return;
        const auto handler = handlers_.find(JsonText::ReadText(message, "name"));
        if (handler != handlers_.end())
            handler->second(message);
    } catch (...) {
    }
}

void MessageBridge::send(const ::Json::Value& message) const
{
    if (sender_)
        sender_(Utf8ToUtf16(JsonText::WriteCompact(message)));
}

void AddFields(std::map<std::string, std::string>& table, const ::Json::Value& fields)
{
    if (!fields.isObject())
        return;
    for (const std::string& name : fields.getMemberNames())
        table.emplace(name, JsonText::ReadText(fields, name.c_str()));
}

int32_t ReadTimeoutSeconds(const ::Json::Value& config)
{
    // Only an explicit 0 turns the watchdog off. What JSON.stringify makes of NaN (null),
    // booleans, texts and negative numbers keep the default; a fraction of a second is one.
    const ::Json::Value& value = JsonText::Member(config, "Timeout");
    if (!value.isNumeric())
        return AppConfig::kDefaultTimeoutSeconds;
    const double seconds = value.asDouble();
    if (seconds == 0)
        return 0;
    if (!(seconds > 0))
        return AppConfig::kDefaultTimeoutSeconds;
    if (seconds >= AppConfig::kMaxTimeoutSeconds)
        return AppConfig::kMaxTimeoutSeconds;
    return std::max(static_cast<int32_t>(seconds), 1);
}

std::vector<int> ReadRetryDelays(const ::Json::Value& config)
{
    const ::Json::Value& value = JsonText::Member(config, "RetryDelays");
    if (!value.isArray())
        return AppConfig::DefaultRetryDelays();
    std::vector<int> delays;
    for (const ::Json::Value& entry : value) {
        if (delays.size() >= AppConfig::kMaxRetries)
            break;
        if (!entry.isNumeric())
            continue;
        const double ms = entry.asDouble();
        delays.push_back(!(ms > 0) ? 0 : ms >= AppConfig::kMaxRetryDelayMs ? AppConfig::kMaxRetryDelayMs
                                                                            : static_cast<int>(ms));
    }
    return delays;
}

// "Metadata": "none", "safe" or "all", any letter case; anything else keeps none.
MetadataKept ReadMetadataKept(const ::Json::Value& config)
{
    const std::string value = JsonText::ReadText(config, "Metadata");
    if (_stricmp(value.c_str(), "safe") == 0)
        return MetadataKept::Safe;
    if (_stricmp(value.c_str(), "all") == 0)
        return MetadataKept::All;
    return MetadataKept::None;
}

// "Extensions": the kinds of file the user and the page may add; every kind when missing.
PictureKinds ReadExtensions(const ::Json::Value& config)
{
    const ::Json::Value& value = JsonText::Member(config, "Extensions");
    if (!value.isArray())
        return PictureKinds();
    std::vector<std::wstring> given;
    for (const ::Json::Value& entry : value)
        if (entry.isString())
            given.push_back(Utf8ToUtf16(entry.asString()));
    return PictureKinds::FromList(given);
}

// "ChunkSize": whole bytes within the engine's bounds; anything else keeps the default.
uint32_t ReadChunkSize(const ::Json::Value& config)
{
    const ::Json::Value& value = JsonText::Member(config, "ChunkSize");
    if (!value.isNumeric() || !(value.asDouble() >= 1))
        return UploadSettings::kDefaultChunkSize;
    const double bytes = std::clamp(value.asDouble(), double(UploadSettings::kMinChunkSize),
                                    double(UploadSettings::kMaxChunkSize));
    return static_cast<uint32_t>(bytes);
}

void MessageBridge::onInit(const ::Json::Value& message)
{
    const ::Json::Value& config = JsonText::Member(message, "config");
    if (config.isNull())
        return;
    AppConfig& c = config_;
    // Every "init" writes every setting again: a key left out returns to its default.
    c.FileFieldName = JsonText::ReadText(config, "FileFieldName", "file");
    const int32_t thumbWidth = JsonText::ReadInt(config, "ThumbWidth", 0);
    const int32_t thumbHeight = JsonText::ReadInt(config, "ThumbHeight", 0);
    const std::string imageUploadType = JsonText::ReadText(config, "ImageUploadType");
    const int32_t jpegQuality = JsonText::ReadInt(config, "JpegQuality", 100);
    const int32_t fileSizeLimit = JsonText::ReadInt(config, "FileSizeLimit", 0);
    const int32_t filesLimit = JsonText::ReadInt(config, "FilesLimit", 0);
    const int32_t pickLimit = JsonText::ReadInt(config, "PickLimit", 0);
    const std::string postUrl = JsonText::ReadText(config, "PostUrl");
    const std::string authType = JsonText::ReadText(config, "AuthType");
    const std::string authName = JsonText::ReadText(config, "AuthName");
    const std::string authPass = JsonText::ReadText(config, "AuthPass");
    const bool debug = JsonText::ReadBool(config, "Debug", false);
    const std::string logFile = JsonText::ReadText(config, "LogFile");
    const std::string cookie = JsonText::ReadText(config, "Cookie");
    const std::string encodeType = JsonText::ReadText(config, "EncodeType", "utf-8");
    c.FileNameGen = JsonText::ReadText(config, "FileNameGen", "ori");
    // At least one worker (none would leave a task waiting for ever), at most ten.
    c.ThreadCount = std::clamp(JsonText::ReadInt(config, "ThreadCount", AppConfig::kDefaultThreadCount), 1,
                               AppConfig::kMaxThreadCount);
    (void)thumbWidth;
    (void)thumbHeight;
    (void)imageUploadType;

    c.JpegQuality = jpegQuality >= 1 && jpegQuality <= 100 ? jpegQuality : 100;
    c.FilesLimit = filesLimit > 0 ? filesLimit : AppConfig::kDefaultFilesLimit;
    c.FileSizeLimit = fileSizeLimit > 0 ? fileSizeLimit : 0;
    // Most pictures one pick of the add-images dialog takes; 0 (or out of range): no limit.
    c.PickLimit = static_cast<uint16_t>(pickLimit > 0 && pickLimit <= 0xFFFF ? pickLimit : 0);
    c.TimeoutSeconds = ReadTimeoutSeconds(config);
    c.IgnoreCertErrors = JsonText::ReadBool(config, "IgnoreCertErrors", false);
    // Picture limits in pixels: a negative or missing value means no limit.
    c.MaxWidth = static_cast<uint32_t>(std::max(0, JsonText::ReadInt(config, "MaxWidth", 0)));
    c.MaxHeight = static_cast<uint32_t>(std::max(0, JsonText::ReadInt(config, "MaxHeight", 0)));
    c.SendOriginal = JsonText::ReadBool(config, "SendOriginal", false);
    c.Reencode = JsonText::ReadBool(config, "Reencode", false);
    c.JpegQualityGiven = jpegQuality >= 1 && jpegQuality <= 100 && JsonText::Member(config, "JpegQuality").isNumeric();
    c.Metadata = ReadMetadataKept(config);
    c.RetryDelays = ReadRetryDelays(config);
    c.Events = JsonText::ReadBool(config, "Events", false);
    c.SendIndex = JsonText::ReadBool(config, "SendIndex", false);
    c.SkipDuplicates = JsonText::ReadBool(config, "SkipDuplicates", true);
    c.Extensions = ReadExtensions(config);
    const std::string protocol = JsonText::ReadText(config, "Protocol", "multipart");
    c.Protocol = _stricmp(protocol.c_str(), "tus") == 0 ? UploadProtocol::Tus : UploadProtocol::Multipart;
    c.ChunkSize = ReadChunkSize(config);
    c.Language = UI::ParseLanguage(JsonText::ReadText(config, "Language", "zh-CN"));

    AddFields(c.Fields, JsonText::Member(config, "Fields"));

    if (debug && !logFile.empty())
        log_.open(true, Utf8ToUtf16(logFile));

    c.PostUrl = Utf8ToUtf16(postUrl);
    c.Cookie = cookie;
    c.AuthType = Utf8ToUtf16(authType);
    c.AuthName = Utf8ToUtf16(authName);
    c.AuthPass = Utf8ToUtf16(authPass);
    c.EncodeType = Utf8ToUtf16(encodeType);

    send(MakeLoadComplete());
}

void MessageBridge::onSetFields(const ::Json::Value& message)
{
    const ::Json::Value& fields = JsonText::Member(message, "fields");
    if (!fields.isObject())
        return;
    config_.Fields.clear();
    AddFields(config_.Fields, fields);
}

void MessageBridge::onSetFolder(const ::Json::Value& message)
{
    const std::string path = JsonText::ReadText(message, "path");
    if (!path.empty())
        config_.setFolder(Utf8ToUtf16(path));
}

void MessageBridge::onAddFile(const ::Json::Value& message)
{
    const std::wstring path = Utf8ToUtf16(JsonText::ReadText(message, "path"));
    if (addFile_ && IsUploadableImagePath(path, config_.Extensions))
        addFile_(path);
}

}  // namespace Vantor
