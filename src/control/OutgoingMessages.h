#pragma once
// The messages the control sends to the page.
#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Vantor {

inline constexpr char kBrowserName[] = "ie32";
inline constexpr char kControlVersion[] = "2,8,29,51372";

// {"browser":"ie32","name":"load_complete","version":"2,8,29,51372"}
::Json::Value MakeLoadComplete();

struct UploadedFile {
    std::string id;      // 32 lower-case hex digits
    ::Json::Value svr;   // the server's parsed reply, null when none was stored
    int64_t index = -1;  // the file's place in the list when its task started; -1: not sent
};

// "imgs" lists the files in the order they finished, each with "index" when it has one; with
// none, the member is absent.
::Json::Value MakePostComplete(const std::vector<UploadedFile>& files);

}  // namespace Vantor
