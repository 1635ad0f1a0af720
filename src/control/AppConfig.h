#pragma once
// The settings of one control, written by its page's "init", "setFields" and "setFolder" on
// the window thread and read by its upload panel and dialogs (the upload engine gets a copy,
// uploadSettings()). Each control owns its own: a page in another frame of the same browser
// process cannot read or change another page's address, cookie or fields.
#include "Biz/UploadSettings.h"
#include "image/PictureKinds.h"
#include "ui/Language.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Vantor {

class AppConfig {
public:
    AppConfig() = default;
    virtual ~AppConfig() = default;

    // Limits of what the user may add (the page may set them through "init").
    static constexpr int32_t kDefaultFilesLimit = 300;
    static constexpr int32_t kMaxThreadCount = 10;
    static constexpr int32_t kDefaultThreadCount = 3;
    static constexpr int32_t kDefaultTimeoutSeconds = 60;
    static constexpr int32_t kMaxTimeoutSeconds = 86400;

    uint16_t PickLimit = 0;                   // most files taken in one pick; 0: no limit
    int32_t FilesLimit = kDefaultFilesLimit;  // most items the upload list holds
    int32_t FileSizeLimit = 0;                // bytes; 0 or less: no limit
    int32_t ThreadCount = kDefaultThreadCount;
    std::string Cookie;
    std::wstring PostUrl;
    std::wstring EncodeType = L"UTF-8";
    std::string FileFieldName = "file";
    std::string FileNameGen = "ori";
    std::wstring AuthType, AuthName, AuthPass;
    std::wstring Folder;
    std::map<std::string, std::string> Fields;  // extra form fields, sent in key order

    int32_t JpegQuality = 100;                       // 1 to 100, for the JPEG encoder
    uint32_t MaxWidth = 0;                           // pictures are shrunk to fit; 0: no limit
    uint32_t MaxHeight = 0;
    bool SendOriginal = false;                       // untouched files go out as their own bytes
    bool Reencode = false;          // every JPEG decoded and encoded again, even an untouched one
    bool JpegQualityGiven = false;  // the page named "JpegQuality": JPEGs are encoded at it
    MetadataKept Metadata = MetadataKept::None;  // what JPEGs sent keep of their source's metadata
    int32_t TimeoutSeconds = kDefaultTimeoutSeconds;  // upload stall watchdog; 0: off
    bool IgnoreCertErrors = false;                   // accept any server certificate
    std::vector<int> RetryDelays = DefaultRetryDelays();  // ms before each further try; empty: none
    bool Events = false;          // the page also hears each file's progress and end, and a summary
    bool SendIndex = false;       // requests and "post_complete" carry each file's place in the list
    bool SkipDuplicates = true;   // a picture already in the list under another path is not added
    PictureKinds Extensions;      // the kinds of file that may be added; every decodable kind by default
    UploadProtocol Protocol = UploadProtocol::Multipart;  // "multipart" or "tus"
    uint32_t ChunkSize = UploadSettings::kDefaultChunkSize;  // bytes per PATCH of a tus upload
    UI::Language Language = UI::Language::ZhCN;  // the words of the panel and its windows

    static std::vector<int> DefaultRetryDelays() { return {1000, 3000, 10000}; }
    // Most further tries, and the longest wait before one, that "RetryDelays" may ask for.
    static constexpr size_t kMaxRetries = 10;
    static constexpr int kMaxRetryDelayMs = 600000;

    int32_t getFilesLimit() const { return FilesLimit; }
    bool isFilesLimitReached(int64_t count) const { return count >= FilesLimit; }
    bool isFileSizeOverLimit(int64_t size) const { return FileSizeLimit > 0 && size > FileSizeLimit; }
    uint16_t getPickLimit() const { return PickLimit; }
    const std::wstring& getFolder() const { return Folder; }
    void setFolder(const std::wstring& folder) { Folder = folder; }
    // True when EncodeType asks for UTF-8 (compared without letter case).
    bool isUtf8Encoding() const;
    // The copy of the settings that one upload reads.
    UploadSettings uploadSettings() const;
};

}  // namespace Vantor
