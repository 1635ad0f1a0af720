#pragma once
// The per-file record shared by a list item and the upload engine.
//
// A record never keeps the whole decoded picture: it holds the path, the names, the small
// thumbnail and what the user changed. Quarter turns are a count applied whenever the picture
// is decoded; an edited picture is kept as a lossless file in the user's temporary folder and
// removed with the record. Whoever needs the whole picture (upload, editor, preview) asks for
// it with Picture() and lets it go when done.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <json/value.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "Biz/UploadFailure.h"
#include "Biz/UploadStatus.h"
#include "image/EncodeImage.h"
#include "image/GdiplusLease.h"
#include "image/PrepareOptions.h"

namespace Vantor {

class ImageData {
public:
    // The box of the thumbnail made when a record is built.
    static constexpr int kThumbnailBox = 120;

    // Builds the record from a path: id, names, file size and the picture step (decode test,
    // size and thumbnail). Never fails: a file that does not decode gives a record without
    // thumbnail. Returns null only when memory for the record itself is lacking.
    static std::shared_ptr<ImageData> Create(const std::wstring& path);
    // The cheap part of Create: id, names and file size, no decoding. The thumbnail stays
    // pending until BuildThumbnail runs (on a loader thread).
    static std::shared_ptr<ImageData> CreateUnloaded(const std::wstring& path);
    // The same for a file whose size the caller has just read (opening it again costs more
    // than the rest of the record).
    static std::shared_ptr<ImageData> CreateUnloaded(const std::wstring& path, uint64_t fileSize);
    ~ImageData();
    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;

    // --- identity and names (fixed at creation) ---
    const std::string& id() const { return id_; }  // 32 lower-case hex digits
    const std::wstring& path() const { return path_; }
    const std::wstring& name() const { return name_; }            // "Holiday.JPG"
    const std::wstring& extension() const { return extension_; }  // ".JPG", or empty
    const std::wstring& format() const { return format_; }        // "jpg"
    uint64_t fileSize() const { return fileSize_; }               // 0 when it cannot be opened

    std::wstring remark() const;
    void setRemark(const std::wstring& remark);

    // --- upload state ---
    std::atomic<uint32_t> UploadSize{0};  // bytes of the picture encoded for the last upload
    std::atomic<uint32_t> SentBytes{0};   // bytes reported sent during the last upload
    Json::Value Reply() const;
    void setReply(const Json::Value& reply);
    // Where the file stands in the current upload (the list paints its band from this).
    UploadStatus UploadState() const;
    void setUploadPhase(UploadPhase phase) { phase_ = phase; }
    // A new upload task takes the file: waiting, nothing sent, no reply yet, no failure.
    void resetUploadState();
    // Why the last try failed (reason None while none did).
    UploadFailure uploadFailure() const;
    void setUploadFailure(UploadFailure failure);
    // The file's place in the list when its task started (0 first), -1 outside a task.
    int64_t uploadIndex() const { return uploadIndex_; }
    void setUploadIndex(int64_t index) { uploadIndex_ = index; }

    // --- the picture as the user sees it ---
    // Unavailable: not made for a reason that may pass (memory short, the file locked by
    // another program, the decode stopped); RetryThumbnail makes it pending again. Failed:
    // the file holds no picture that can be decoded.
    enum class ThumbnailState { Pending, Ready, Failed, Unavailable };
    ThumbnailState thumbnailState() const;
    // Decodes the file (or the edit) as turned now and makes the thumbnail fitted into the
    // box. Any thread; takes no lock while decoding; a set `stop` ends the decode early (the
    // thumbnail is then unavailable). False when a turn or edit came in during the decode:
    // that result is dropped and the caller asks again.
    bool BuildThumbnail(int boxWidth, int boxHeight, const std::atomic<bool>* stop = nullptr);
    // While the thumbnail is pending (or unavailable for now): the preview a JPEG carries in
    // its EXIF block, fitted as the thumbnail will be, stands in for it when its shape is the
    // picture's (LoadPreview). Reads only the file's first part; no lock is held meanwhile.
    // True when the preview now stands in; false when there is none that serves, or the
    // thumbnail is already made (or failed, or the picture was turned or edited meanwhile).
    bool ShowPreview(int boxWidth, int boxHeight);
    // Whether thumbnail() is such a stand-in.
    bool showsPreview() const;
    // An unavailable thumbnail becomes pending again, at most once a second (so that a file
    // locked for long is not read again on every paint); true when it did.
    static constexpr uint32_t kRetryDelayMs = 1000;
    bool RetryThumbnail();
    // A quarter turn that decodes nothing: the count changes and the thumbnail held is turned
    // in memory until BuildThumbnail makes it again at full quality. While the thumbnail is
    // pending the turn is only counted. False (nothing happens) when the file did not decode.
    bool Turn(int quarterTurnsClockwise);

    bool hasPicture() const;  // the file decoded (or an edit replaced it)
    uint32_t width() const;   // of the whole picture, turned; 0 without picture
    uint32_t height() const;
    int quarterTurns() const;  // clockwise, 0 to 3
    bool isEdited() const;
    // Null without picture; the EXIF preview (ShowPreview) until the thumbnail is made.
    std::shared_ptr<Gdiplus::Image> thumbnail() const;

    // The whole picture decoded for one use, placed, turned and edited as shown (a JPEG's
    // EXIF orientation applied); null without picture.
    std::shared_ptr<Gdiplus::Bitmap> Picture() const;

    // A quarter turn; the thumbnail is rebuilt fitted into the box (the list's frame).
    // False (nothing happens) without picture.
    bool RotateLeft(int boxWidth, int boxHeight);
    bool RotateRight(int boxWidth, int boxHeight);

    // The editor's result replaces the picture: it is written losslessly to the temporary
    // folder and the thumbnail is rebuilt. False (the record is unchanged) for a null or
    // unreadable bitmap, or when the file cannot be written.
    bool SetEditedImage(Gdiplus::Bitmap* bitmap, int boxWidth, int boxHeight);

    // --- upload preparation ---
    // The format the user chose for this file in the editor ("jpg", "png" or "bmp") and the
    // JPEG quality (1 to 100) it goes out at; an empty format goes back to the file's own
    // format and the page's quality.
    void setUploadFormat(const std::wstring& format, int jpegQuality);
    std::wstring uploadFormat() const;  // empty when none was chosen
    // The name and extension the file is sent under: its own, or with the chosen format's
    // extension in place of its own ("Holiday.PNG" sent as JPEG is "Holiday.jpg").
    // A WebP, HEIC or AVIF file re-encoded goes as JPEG under ".jpg"; sent as its own bytes
    // (`original`) it keeps its name.
    std::wstring uploadName(bool original = false) const;
    std::wstring uploadExtension(bool original = false) const;
    // "image/jpeg" for a WebP, HEIC or AVIF file converted to JPEG; empty otherwise (the
    // type then follows the upload file name).
    std::string uploadMimeType(bool original = false) const;

    struct UploadPicture {
        EncodedImage encoded;  // empty when the picture cannot be prepared: nothing may be sent
        uint32_t width = 0;    // of the picture sent, as seen
        uint32_t height = 0;
        bool original = false;  // the file's own bytes
    };
    // The picture as the user sees it, shrunk to the limits and encoded in the record's format
    // or the one chosen in the editor (png, gif, bmp, tif, tiff keep theirs, anything else is
    // JPEG at the quality asked, or chosen), or
    // the file's own bytes where the options allow (PreparePicture); sets UploadSize and
    // clears SentBytes. The defaults re-encode at full size, JPEG at quality 100. The picture
    // is decoded again whatever its thumbnail said. A set `stop` ends it early, with nothing.
    UploadPicture PrepareUpload(const PrepareOptions& options = {}, const std::atomic<bool>* stop = nullptr);
    // The name the file part carries ("ori", "guid", "crc", "md5" under the encoding rule).
    std::string UploadFileName(const EncodedImage& encoded, std::string_view fileNameGen, bool utf8) const;
    // The remark under the encoding rule (UTF-8 then URL-encoded, or the ANSI code page).
    std::string EncodedRemark(bool utf8) const;

    // Where edited pictures are kept: %TEMP%\Fotoloft\Edits.
    static std::wstring EditsFolder();

private:
    ImageData(const std::wstring& path, uint64_t fileSize);
    bool Rotate(int quarterTurns, int boxWidth, int boxHeight);

    // First, so that it goes last: the thumbnail is a GDI+ object.
    const GdiplusLease gdiplus_ = GdiplusLease::Acquire();
    std::atomic<UploadPhase> phase_{UploadPhase::None};
    std::atomic<int64_t> uploadIndex_{-1};
    const std::string id_;
    const std::wstring path_;
    const std::wstring name_;
    const std::wstring extension_;
    const std::wstring format_;
    const uint64_t fileSize_;

    std::mutex changeLock_;  // one turn or edit at a time
    mutable std::mutex lock_;  // the fields below
    std::wstring remark_;
    Json::Value reply_;
    UploadFailure failure_;
    bool decoded_ = false;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    int turns_ = 0;
    ThumbnailState state_ = ThumbnailState::Pending;
    uint32_t unavailableSince_ = 0;  // tick count of the last unavailable thumbnail
    uint32_t generation_ = 0;  // counts turns and edits, so a decode started before one is dropped
    std::wstring editedPath_;  // the edited picture, empty when there is none
    std::wstring uploadFormat_;  // chosen in the editor; empty: the file's own
    int uploadQuality_ = 100;
    std::shared_ptr<Gdiplus::Image> thumbnail_;
    std::shared_ptr<Gdiplus::Image> preview_;  // only while thumbnail_ is not made
};

}  // namespace Vantor
