#pragma once
// The page's side of the control: one postMessage text in, parsed and dispatched by its
// "name"; outgoing JSON written compactly and handed to a sender as UTF-16.
//
// Page messages: "init" (settings, log, answers "load_complete"), "setFields",
// "setFolder", "addFile". Anything else, or text that is not JSON, is ignored.
#include "Biz/Log.h"

#include <json/value.h>

#include <cstdint>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Vantor {

class AppConfig;

class MessageBridge {
public:
    using Sender = std::function<void(const std::wstring& json)>;
    using AddFileHandler = std::function<void(const std::wstring& path)>;
    using Handler = std::function<void(const ::Json::Value& message)>;

    // The bridge writes into config; the sender delivers outgoing texts to the page; "init"
    // opens `log`, the log of the control the page talks to.
    MessageBridge(AppConfig& config, Sender sender, Log& log = Log::instance());

    // Called with each path "addFile" accepts (an existing image file); the upload list
    // decides about duplicates.
    void setAddFileHandler(AddFileHandler handler) { addFile_ = std::move(handler); }

    // Handles one page message. Never throws: bad text or bad members are ignored.
    void handle(std::wstring_view text) noexcept;
    void handleUtf8(std::string_view text) noexcept;

    // Writes the message compactly and hands it to the sender.
    void send(const ::Json::Value& message) const;

private:
    void onInit(const ::Json::Value& message);
    void onSetFields(const ::Json::Value& message);
    void onSetFolder(const ::Json::Value& message);
    void onAddFile(const ::Json::Value& message);

    AppConfig& config_;
    Sender sender_;
    Log& log_;
    AddFileHandler addFile_;
    std::map<std::string, Handler> handlers_;
};

// "Timeout" of a "config": seconds, 0 (off) only when given as the number 0; anything that is
// not a number, or is negative, gives the default.
int32_t ReadTimeoutSeconds(const ::Json::Value& config);
// "RetryDelays" of a "config": an array of milliseconds (numbers from 0, each cut to
// AppConfig::kMaxRetryDelayMs, at most AppConfig::kMaxRetries of them); the default when the
// key is missing or not an array, and an entry that is not a number is left out.
std::vector<int> ReadRetryDelays(const ::Json::Value& config);
// Adds each member of fields as text to table; a name already present keeps its value.
void AddFields(std::map<std::string, std::string>& table, const ::Json::Value& fields);

}  // namespace Vantor
