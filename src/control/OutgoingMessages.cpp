#include "control/OutgoingMessages.h"

namespace Vantor {

::Json::Value MakeLoadComplete()
{
    ::Json::Value message(::Json::objectValue);
    message["name"] = "load_complete";
    message["browser"] = kBrowserName;
    message["version"] = kControlVersion;
    return message;
}

::Json::Value MakePostComplete(const std::vector<UploadedFile>& files)
{
    ::Json::Value message(::Json::objectValue);
    for (const UploadedFile& file : files) {
        ::Json::Value img(::Json::objectValue);
        img["id"] = file.id;
        img["svr"] = file.svr;
        if (file.index >= 0)
            img["index"] = static_cast<::Json::Int64>(file.index);
        message["imgs"].append(img);
    }
    message["name"] = "post_complete";
    return message;
}

}  // namespace Vantor
