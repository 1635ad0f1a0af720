// The per-file record: names and size from the path, the thumbnail from the picture step,
// and the user's turns and edits kept without holding the whole picture.
#include "Biz/ImageData.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>

#include "Biz/UploadName.h"
#include "image/PictureLoader.h"
#include "image/PreparePicture.h"
#include "platform/Handles.h"

namespace Vantor {

namespace {

std::wstring ExtensionOf(const std::wstring& path)
{
    return PathFindExtensionW(path.c_str());
}

std::wstring NameOf(const std::wstring& path)
{
    return PathFindFileNameW(path.c_str());
}

std::wstring FormatOf(const std::wstring& extension)
{
    std::wstring format;
    for (wchar_t c : extension)
        if (c != L'.')
            format += static_cast<wchar_t>(std::towlower(c));
    return format;
}

uint64_t FileSizeOf(const std::wstring& path)
{
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !SetFilePointerEx(file.get(), LARGE_INTEGER{}, &size, FILE_END))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool HasAlpha(Gdiplus::PixelFormat format)
{
    return (format & PixelFormatAlpha) != 0 || (format & PixelFormatPAlpha) != 0;
}

// A new file name in the edits folder for this record's next edit.
std::wstring NextEditPath(const std::string& id, bool png)
{
    static std::atomic<uint32_t> counter{0};
    const std::wstring folder = ImageData::EditsFolder();
    if (folder.empty())
        return {};
    return folder + L"\\" + std::wstring(id.begin(), id.end()) + L"-" + std::to_wstring(++counter) +
           (png ? L".png" : L".bmp");
}

}  // namespace

ImageData::ImageData(const std::wstring& path, uint64_t fileSize)
    : id_(NewUuidHex()),
      path_(path),
      name_(NameOf(path)),
      extension_(ExtensionOf(path)),
      format_(FormatOf(extension_)),
      fileSize_(fileSize),
      remark_(name_)
{
}

std::shared_ptr<ImageData> ImageData::Create(const std::wstring& path)
{
    std::shared_ptr<ImageData> record = CreateUnloaded(path);
    if (record)
        record->BuildThumbnail(kThumbnailBox, kThumbnailBox);
    return record;
}

std::shared_ptr<ImageData> ImageData::CreateUnloaded(const std::wstring& path)
{
    return CreateUnloaded(path, FileSizeOf(path));
}

std::shared_ptr<ImageData> ImageData::CreateUnloaded(const std::wstring& path, uint64_t fileSize)
{
    try {
        return std::shared_ptr<ImageData>(new ImageData(path, fileSize));
    } catch (...) {
        return nullptr;
    }
}

ImageData::ThumbnailState ImageData::thumbnailState() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

bool ImageData::BuildThumbnail(int boxWidth, int boxHeight, const std::atomic<bool>* stop)
{
    std::wstring source;
    int turns = 0;
    uint32_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        source = editedPath_.empty() ? path_ : editedPath_;
        turns = turns_;
        generation = generation_;
    }
    PictureSummary summary;
    try {
        summary = LoadThumbnail(source, turns, boxWidth, boxHeight, stop);
    } catch (...) {
        summary = PictureSummary{};
        summary.retry = true;
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (generation != generation_)
        return false;
    decoded_ = summary.decoded;
    state_ = summary.decoded ? ThumbnailState::Ready
             : summary.retry ? ThumbnailState::Unavailable
                             : ThumbnailState::Failed;
    if (state_ == ThumbnailState::Unavailable)
        unavailableSince_ = GetTickCount();
    width_ = summary.decoded ? summary.width : 0;
    height_ = summary.decoded ? summary.height : 0;
    thumbnail_ = summary.decoded ? summary.thumbnail : nullptr;
    // In the same step as the thumbnail, so a paint sees one or the other, never neither. A
    // preview goes on standing in while the picture is only unavailable for now.
    if (state_ != ThumbnailState::Unavailable)
        preview_.reset();
    return true;
}

bool ImageData::ShowPreview(int boxWidth, int boxHeight)
{
    std::wstring source;
    int turns = 0;
    uint32_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (thumbnail_ || preview_ || !editedPath_.empty() || state_ == ThumbnailState::Ready ||
            state_ == ThumbnailState::Failed)
            return false;
        source = path_;
        turns = turns_;
        generation = generation_;
    }
    PictureSummary summary;
    try {
        summary = LoadPreview(source, turns, boxWidth, boxHeight);
    } catch (...) {
        return false;
    }
    if (!summary.decoded)
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (generation != generation_ || thumbnail_ || preview_ || state_ == ThumbnailState::Ready ||
        state_ == ThumbnailState::Failed)
        return false;
    preview_ = std::move(summary.thumbnail);
    return true;
}

bool ImageData::showsPreview() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return !thumbnail_ && preview_;
}

bool ImageData::RetryThumbnail()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ != ThumbnailState::Unavailable || GetTickCount() - unavailableSince_ < kRetryDelayMs)
        return false;
    state_ = ThumbnailState::Pending;
    return true;
}

bool ImageData::Turn(int quarterTurnsClockwise)
{
    const int quarter = ((quarterTurnsClockwise % 4) + 4) % 4;
    std::shared_ptr<Gdiplus::Image> held;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_ == ThumbnailState::Failed)
            return false;
        turns_ = (turns_ + quarter) % 4;
        ++generation_;
        if (quarter != 0)
            preview_.reset();  // placed for the turns before; the decode to come shows it turned
        if (state_ != ThumbnailState::Ready || quarter == 0)
            return true;
        if (quarter % 2 == 1)
            std::swap(width_, height_);
        held = thumbnail_;
    }
    // The held thumbnail turned in memory: small, so this costs nothing noticeable.
    std::shared_ptr<Gdiplus::Image> turned;
    if (held) {
        std::unique_ptr<Gdiplus::Image> copy(held->Clone());
        const Gdiplus::RotateFlipType how = quarter == 1   ? Gdiplus::Rotate90FlipNone
                                            : quarter == 2 ? Gdiplus::Rotate180FlipNone
                                                           : Gdiplus::Rotate270FlipNone;
        if (copy && copy->RotateFlip(how) == Gdiplus::Ok)
            turned = std::move(copy);
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (turned && thumbnail_ == held)
        thumbnail_ = std::move(turned);
    return true;
}

ImageData::~ImageData()
{
    if (!editedPath_.empty())
        DeleteFileW(editedPath_.c_str());
}

std::wstring ImageData::EditsFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        return {};
    std::wstring folder(temp, length);
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    folder += L"\\Fotoloft\\Edits";
    const int rc = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS && rc != ERROR_FILE_EXISTS)
        return {};
    return folder;
}

std::wstring ImageData::remark() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return remark_;
}

void ImageData::setRemark(const std::wstring& remark)
{
    std::lock_guard<std::mutex> guard(lock_);
    remark_ = remark;
}

Json::Value ImageData::Reply() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return reply_;
}

void ImageData::setReply(const Json::Value& reply)
{
    std::lock_guard<std::mutex> guard(lock_);
    reply_ = reply;
}

UploadStatus ImageData::UploadState() const
{
    UploadStatus status;
    status.phase = phase_.load();
    status.sent = SentBytes.load();
    status.size = UploadSize.load();
    return status;
}

UploadFailure ImageData::uploadFailure() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return failure_;
}

void ImageData::setUploadFailure(UploadFailure failure)
{
    std::lock_guard<std::mutex> guard(lock_);
    failure_ = std::move(failure);
}

void ImageData::resetUploadState()
{
    setReply(Json::Value());
    setUploadFailure(UploadFailure{});
    SentBytes = 0;
    UploadSize = 0;
    phase_ = UploadPhase::Waiting;
}

bool ImageData::hasPicture() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return decoded_;
}

uint32_t ImageData::width() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return width_;
}

uint32_t ImageData::height() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return height_;
}

int ImageData::quarterTurns() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return turns_;
}

bool ImageData::isEdited() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return !editedPath_.empty();
}

std::shared_ptr<Gdiplus::Image> ImageData::thumbnail() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return thumbnail_ ? thumbnail_ : preview_;
}

std::shared_ptr<Gdiplus::Bitmap> ImageData::Picture() const
{
    std::wstring source;
    int turns = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        // A record whose thumbnail is still to come, or failed for now, is decoded all the
        // same (an upload may start before the list has made every thumbnail).
        if (state_ == ThumbnailState::Failed)
            return nullptr;
        source = editedPath_.empty() ? path_ : editedPath_;
        turns = turns_;
    }
    return LoadPicture(source, turns);
}

bool ImageData::RotateLeft(int boxWidth, int boxHeight)
{
    return Rotate(3, boxWidth, boxHeight);
}

bool ImageData::RotateRight(int boxWidth, int boxHeight)
{
    return Rotate(1, boxWidth, boxHeight);
}

bool ImageData::Rotate(int quarterTurns, int boxWidth, int boxHeight)
{
    std::lock_guard<std::mutex> change(changeLock_);
    std::wstring source;
    int turns = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!decoded_)
            return false;
        source = editedPath_.empty() ? path_ : editedPath_;
        turns = (turns_ + quarterTurns) % 4;
    }
    // The thumbnail is made again from the file, turned: no whole picture is kept.
    const PictureSummary summary = LoadThumbnail(source, turns, boxWidth, boxHeight);
    std::lock_guard<std::mutex> guard(lock_);
    turns_ = (turns_ + quarterTurns) % 4;
    ++generation_;
    std::swap(width_, height_);
    if (summary.decoded)
        thumbnail_ = summary.thumbnail;
    return true;
}

bool ImageData::SetEditedImage(Gdiplus::Bitmap* bitmap, int boxWidth, int boxHeight)
{
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok)
        return false;
    const UINT width = bitmap->GetWidth();
    const UINT height = bitmap->GetHeight();
    if (width == 0 || height == 0)
        return false;
    std::lock_guard<std::mutex> change(changeLock_);
    try {
        const bool png = HasAlpha(bitmap->GetPixelFormat());
        const std::wstring path = NextEditPath(id_, png);
        if (path.empty())
            return false;
        const EncoderChoice encoder = ChooseEncoder(png ? L"png" : L"bmp");
        if (bitmap->Save(path.c_str(), &encoder.encoder, nullptr) != Gdiplus::Ok) {
            DeleteFileW(path.c_str());
            return false;
        }
        std::shared_ptr<Gdiplus::Image> thumbnail = ThumbnailOf(*bitmap, boxWidth, boxHeight);
        std::wstring old;
        {
            std::lock_guard<std::mutex> guard(lock_);
            old = std::exchange(editedPath_, path);
            turns_ = 0;
            ++generation_;
            state_ = ThumbnailState::Ready;
            decoded_ = true;
            width_ = width;
            height_ = height;
            thumbnail_ = std::move(thumbnail);
            preview_.reset();
        }
        if (!old.empty())
            DeleteFileW(old.c_str());
        return true;
    } catch (...) {
        return false;
    }
}

void ImageData::setUploadFormat(const std::wstring& format, int jpegQuality)
{
    std::lock_guard<std::mutex> guard(lock_);
    uploadFormat_ = FormatOf(format);
    uploadQuality_ = std::clamp(jpegQuality, 1, 100);
}

std::wstring ImageData::uploadFormat() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return uploadFormat_;
}

std::wstring ImageData::uploadExtension(bool original) const
{
    std::wstring chosen = uploadFormat();
    if (chosen.empty() && !original && Codecs::IsCodecFormatName(format_))
        chosen = L"jpg";
    return chosen.empty() ? extension_ : L"." + chosen;
}

std::string ImageData::uploadMimeType(bool original) const
{
    return uploadFormat().empty() && !original && Codecs::IsCodecFormatName(format_) ? "image/jpeg" : std::string();
}

std::wstring ImageData::uploadName(bool original) const
{
    std::wstring chosen = uploadFormat();
    if (chosen.empty() && !original && Codecs::IsCodecFormatName(format_))
        chosen = L"jpg";
    if (chosen.empty())
        return name_;
    return name_.substr(0, name_.size() - extension_.size()) + L"." + chosen;
}

ImageData::UploadPicture ImageData::PrepareUpload(const PrepareOptions& asked, const std::atomic<bool>* stop)
{
    UploadPicture upload;
    try {
        // The file is read again whether or not its thumbnail is made yet: what cannot be
        // decoded now gives nothing, whatever the thumbnail said.
        PictureSource source;
        PrepareOptions options = asked;
        source.format = format_;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!uploadFormat_.empty()) {
                source.format = uploadFormat_;
                options.jpegQuality = uploadQuality_;
            }
            source.edited = !editedPath_.empty();
            source.path = source.edited ? editedPath_ : path_;
            source.metadataPath = path_;
            source.quarterTurns = turns_;
        }
        PreparedPicture prepared = PreparePicture(source, options, stop);
        if (!prepared.encoded.empty()) {
            upload.encoded = std::move(prepared.encoded);
            upload.width = prepared.width;
            upload.height = prepared.height;
            upload.original = prepared.original;
        }
    } catch (...) {
        upload = UploadPicture{};
    }
    UploadSize = upload.encoded.size();
    SentBytes = 0;
    return upload;
}

std::string ImageData::UploadFileName(const EncodedImage& encoded, std::string_view fileNameGen, bool utf8) const
{
    return Vantor::UploadFileName(name_, extension_, fileNameGen, utf8, encoded.data(), encoded.size());
}

std::string ImageData::EncodedRemark(bool utf8) const
{
    return EncodeText(remark(), utf8);
}

}  // namespace Vantor
