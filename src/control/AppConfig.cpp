#include "control/AppConfig.h"

#include <windows.h>

namespace Vantor {

bool AppConfig::isUtf8Encoding() const
{
    return CompareStringOrdinal(EncodeType.c_str(), -1, L"utf-8", -1, TRUE) == CSTR_EQUAL;
}

UploadSettings AppConfig::uploadSettings() const
{
    UploadSettings settings;
    settings.postUrl = PostUrl;
    settings.cookie = Cookie;
    settings.fileFieldName = FileFieldName;
    settings.fileNameGen = FileNameGen;
    settings.utf8 = isUtf8Encoding();
    settings.fields = Fields;
    settings.timeoutSeconds = TimeoutSeconds;
    settings.ignoreCertErrors = IgnoreCertErrors;
    settings.picture.jpegQuality = JpegQuality;
    settings.picture.maxWidth = MaxWidth;
    settings.picture.maxHeight = MaxHeight;
    settings.picture.sendOriginal = SendOriginal;
    settings.picture.keepJpegData = !Reencode && !JpegQualityGiven;
    settings.picture.metadata = Metadata;
    settings.threadCount = ThreadCount;
    settings.retryDelaysMs = RetryDelays;
    settings.sendIndex = SendIndex;
    settings.protocol = Protocol;
    settings.chunkSize = ChunkSize;
    return settings;
}

}  // namespace Vantor
