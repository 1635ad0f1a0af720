// Resumable uploads through the upload queue against the real tus server (run by
// tus_run_tests.py): many files at once, a link cut under a file that then resumes with its
// progress where the server stands, the user's stop deleting the unfinished uploads; and the
// protocol's small rules (addresses, metadata, header lists).
#include "UploadTestSupport.h"

#include "Biz/JsonText.h"
#include "Biz/KeptPicture.h"
#include "Biz/TusUpload.h"
#include "image/GdiplusLease.h"
#include "platform/TextConv.h"

#include <gtest/gtest.h>

#include <map>

using namespace Vantor;
using namespace uploadtest;
using namespace std::chrono_literals;
using Kind = Recorder::Kind;

namespace {

// The server's store: upload id to its info (<id>.json) and stored bytes.
struct Stored {
    ::Json::Value info;
    std::vector<uint8_t> bytes;
};

std::map<std::string, Stored> StoredUploads()
{
    const std::wstring folder = Utf8ToUtf16(Env("FOTOLOFT_TUS_STORE"));
    std::map<std::string, Stored> uploads;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*.json").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return uploads;
    do {
        std::wstring name = found.cFileName;
        name.resize(name.size() - 5);
        const std::vector<uint8_t> info = testpics::ReadBytes(folder + L"\\" + found.cFileName);
        Stored stored;
        JsonText::Parse(std::string(info.begin(), info.end()), stored.info);
        stored.bytes = testpics::ReadBytes(folder + L"\\" + name);
        uploads[Utf16ToUtf8(name)] = std::move(stored);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return uploads;
}

class TusUploadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gdiplus = std::make_unique<GdiplusLease>(GdiplusLease::Acquire()); }
    static void TearDownTestSuite() { gdiplus.reset(); }

    void SetUp() override
    {
        // Each test reads the store afresh.
        for (const auto& [id, stored] : StoredUploads()) {
            const std::wstring folder = Utf8ToUtf16(Env("FOTOLOFT_TUS_STORE"));
            DeleteFileW((folder + L"\\" + Utf8ToUtf16(id)).c_str());
            DeleteFileW((folder + L"\\" + Utf8ToUtf16(id) + L".json").c_str());
        }
    }

    std::vector<UploadFile> Pictures(int n, uint32_t width, uint32_t height, const std::wstring& prefix)
    {
        std::vector<std::wstring> paths;
        for (int i = 0; i < n; ++i)
            paths.push_back(MakePicture(folder, prefix + std::to_wstring(i) + L".bmp", width, height, i + 7));
        return FilesOf(paths);
    }

    static UploadSettings Tus(const char* server, int threads, uint32_t chunk)
    {
        UploadSettings settings;
        settings.postUrl = Utf8ToUtf16(Env(server)) + L"/files";
        settings.threadCount = threads;
        settings.protocol = UploadProtocol::Tus;
        settings.chunkSize = chunk;
        settings.retryDelaysMs = {200, 500};
        return settings;
    }

    // The bytes the control prepares for the file (the encoder is deterministic).
    static std::vector<uint8_t> PreparedBytes(const UploadFile& file, const UploadSettings& settings)
    {
        const std::shared_ptr<ImageData> copy = ImageData::Create(file.record->path());
        const ImageData::UploadPicture prepared = copy->PrepareUpload(settings.picture);
        return std::vector<uint8_t>(prepared.encoded.data(), prepared.encoded.data() + prepared.encoded.size());
    }

    static inline std::unique_ptr<GdiplusLease> gdiplus;
    testpics::TempFolder folder;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(TusUploadTest, TenFilesThreeAtATimeArriveWhole)
{
    const std::vector<UploadFile> files = Pictures(10, 160, 120, L"ten");
    const UploadSettings settings = Tus("FOTOLOFT_TUS", 3, UploadSettings::kMinChunkSize);
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(queue.WaitUntilIdle(120s));
    const auto events = recorder->events();
    EXPECT_EQ(Recorder::Count(events, Kind::Completed), 10u);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed), 0u);

    const auto stored = StoredUploads();
    ASSERT_EQ(stored.size(), 10u);
    for (const UploadFile& file : files) {
        // The page's reply names the upload, and the upload holds exactly the prepared bytes.
        const ::Json::Value reply = file.record->Reply();
        ASSERT_EQ(reply["success"].asInt(), 1);
        const std::string location = reply["location"].asString();
        const std::string id = location.substr(location.rfind('/') + 1);
        ASSERT_EQ(stored.count(id), 1u) << location;
        const Stored& upload = stored.at(id);
        EXPECT_EQ(upload.bytes, PreparedBytes(file, settings));
        EXPECT_EQ(upload.info["metadata"]["id"].asString(), file.id);
        EXPECT_EQ(upload.info["metadata"]["width"].asString(), "160");
        EXPECT_EQ(upload.info["metadata"]["filetype"].asString(), "application/x-bmp");
        EXPECT_EQ(file.record->SentBytes.load(), upload.bytes.size());
    }
}

TEST_F(TusUploadTest, CutLinkResumesWithProgressWhereTheServerStands)
{
    // The proxy cuts once, after 1.5 MB from the client, in the middle of a chunk.
    const std::vector<UploadFile> files = Pictures(1, 1000, 800, L"cut");
    const UploadSettings settings = Tus("FOTOLOFT_TUS_CUT", 1, 512 << 10);
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(queue.WaitUntilIdle(120s));
    const auto events = recorder->events();
    ASSERT_EQ(Recorder::Count(events, Kind::Completed), 1u);
    ASSERT_EQ(Recorder::Count(events, Kind::Retrying), 1u);
    EXPECT_EQ(Recorder::IndexOf(events, Kind::Retrying) >= 0 ? events[Recorder::IndexOf(events, Kind::Retrying)].failure.reason
                                                            : FailureReason::None,
              FailureReason::ConnectionLost);

    // After the retry, the bytes reported add up to what the server did not yet hold: the
    // band goes on from the server's offset, it does not start again.
    const int retry = Recorder::IndexOf(events, Kind::Retrying);
    uint64_t before = 0, after = 0;
    for (int i = 0; i < static_cast<int>(events.size()); ++i) {
        if (events[i].kind == Kind::Progress)
            (i < retry ? before : after) += events[i].bytes;
    }
    const auto stored = StoredUploads();
    ASSERT_EQ(stored.size(), 1u);
    const std::vector<uint8_t>& bytes = stored.begin()->second.bytes;
    EXPECT_EQ(bytes, PreparedBytes(files[0], settings));
    EXPECT_GT(before, 1000000u);
    EXPECT_LT(after, bytes.size() - 1000000u);
    EXPECT_EQ(files[0].record->SentBytes.load(), bytes.size());
}

TEST_F(TusUploadTest, StopDeletesTheUnfinishedUploadsOnTheServer)
{
    // Through a slow link: two files in flight when the user stops, one never started.
    const std::vector<UploadFile> files = Pictures(3, 1000, 800, L"stop");
    const UploadSettings settings = Tus("FOTOLOFT_TUS_SLOW", 2, 256 << 10);
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(recorder->WaitFor(
        [](const std::vector<Recorder::Event>& events) {
            std::map<std::string, uint64_t> sent;
            for (const auto& e : events)
                if (e.kind == Kind::Progress)
                    sent[e.id] += e.bytes;
            return sent.size() == 2 && sent.begin()->second > 300000 && sent.rbegin()->second > 300000;
        },
        60s));
    ASSERT_EQ(StoredUploads().size(), 2u);
    queue.Stop();
    ASSERT_TRUE(queue.WaitUntilIdle(30s));
    const auto events = recorder->events();
    EXPECT_EQ(Recorder::Count(events, Kind::Failed), 2u);
    EXPECT_EQ(Recorder::Count(events, Kind::Completed), 0u);
    // Every upload the server had is gone once the task has ended.
    EXPECT_TRUE(StoredUploads().empty());
}

TEST_F(TusUploadTest, StopWhileAFileWaitsForItsRetryDeletesItsUpload)
{
    const std::vector<UploadFile> files = Pictures(1, 1000, 800, L"wait");
    UploadSettings settings = Tus("FOTOLOFT_TUS_CUT_WAIT", 1, 512 << 10);
    settings.retryDelaysMs = {20000};
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(recorder->WaitFor(
        [](const std::vector<Recorder::Event>& events) { return Recorder::Count(events, Kind::Retrying) == 1; },
        60s));
    ASSERT_EQ(StoredUploads().size(), 1u);
    const auto stopped = std::chrono::steady_clock::now();
    queue.Stop();
    ASSERT_TRUE(queue.WaitUntilIdle(15s));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 10s) << "the task waited for the retry";
    const auto events = recorder->events();
    ASSERT_EQ(Recorder::Count(events, Kind::Failed), 1u);
    EXPECT_EQ(events[Recorder::IndexOf(events, Kind::Failed)].failure.reason, FailureReason::ConnectionLost);
    EXPECT_TRUE(StoredUploads().empty());
}

TEST(KeptPictureTest, ParkedBytesComeBackTheSameAndHoldNoMemory)
{
    std::vector<uint8_t> bytes(3u << 20);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    ImageData::UploadPicture picture;
    picture.encoded.bytes = std::make_shared<const std::vector<uint8_t>>(bytes);
    picture.width = 640;
    picture.height = 480;
    std::weak_ptr<const std::vector<uint8_t>> memory = picture.encoded.bytes;

    KeptPicture kept;
    EXPECT_TRUE(kept.empty());
    kept.keep(std::move(picture));
    auto first = kept.take();
    ASSERT_TRUE(first);
    kept.park();
    EXPECT_TRUE(kept.parked());
    EXPECT_FALSE(kept.empty());
    EXPECT_FALSE(memory.expired()) << "a try still in flight keeps its bytes";
    // Once nothing uses them, the parked bytes are on disk only.
    const std::vector<uint8_t> sentFirst(first->encoded.data(), first->encoded.data() + first->encoded.size());
    first.reset();
    EXPECT_TRUE(memory.expired());

    const auto again = kept.take();
    ASSERT_TRUE(again);
    EXPECT_FALSE(kept.parked());
    EXPECT_EQ(std::vector<uint8_t>(again->encoded.data(), again->encoded.data() + again->encoded.size()), sentFirst);
    EXPECT_EQ(sentFirst, bytes);
    EXPECT_EQ(again->width, 640u);
    EXPECT_EQ(again->height, 480u);
    // Parked a second time it reuses its file, and comes back again.
    kept.park();
    const auto third = kept.take();
    ASSERT_TRUE(third);
    EXPECT_EQ(third->encoded.size(), bytes.size());
}

TEST(TusRules, LocationsResolveAgainstTheCreationAddress)
{
    const std::wstring base = L"http://example.test:8080/api/files?x=1";
    EXPECT_EQ(ResolveLocation(base, "https://cdn.test/u/1"), L"https://cdn.test/u/1");
    EXPECT_EQ(ResolveLocation(base, "//other.test/u/2"), L"http://other.test/u/2");
    EXPECT_EQ(ResolveLocation(base, "/files/3"), L"http://example.test:8080/files/3");
    EXPECT_EQ(ResolveLocation(base, "files/4"), L"http://example.test:8080/api/files/4");
    EXPECT_EQ(ResolveLocation(L"http://h.test", "5"), L"http://h.test/5");
    EXPECT_EQ(ResolveLocation(base, ""), L"");
}

TEST(TusRules, MetadataIsBase64WithUsableKeysOnly)
{
    EXPECT_EQ(TusMetadata({{"filename", "a.jpg"}, {"empty", ""}, {"n", "\xE4\xBD\xA0"}}),
              "filename YS5qcGc=,empty,n 5L2g");
    // Keys that would break the list, and repeats, are left out; the first of a key wins.
    EXPECT_EQ(TusMetadata({{"a b", "x"}, {"a,b", "x"}, {"", "x"}, {"k", "1"}, {"k", "2"}, {"\xE5", "x"}}),
              "k MQ==");

    UploadPicture picture;
    picture.id = "0123456789abcdef0123456789abcdef";
    picture.name = L"Holiday.JPG";
    picture.extension = L".JPG";
    picture.remark = L"\u5317\u4eac";
    picture.width = 640;
    picture.height = 480;
    UploadSettings settings;
    settings.fields = {{"album", "7"}, {"filename", "spoofed"}};
    const auto entries = TusMetadataOf(picture, "Holiday.JPG", settings);
    const std::string text = TusMetadata(entries);
    EXPECT_EQ(text.find("filename SG9saWRheS5KUEc="), 0u) << text;
    EXPECT_NE(text.find(",remark 5YyX5Lqs"), std::string::npos) << text;
    EXPECT_NE(text.find(",album Nw=="), std::string::npos) << text;
    EXPECT_EQ(text.find("c3Bvb2ZlZA=="), std::string::npos) << "a page field cannot replace the file's name";
}

TEST(TusRules, HeaderListsAndNumbers)
{
    EXPECT_TRUE(ListsToken("1.0.0,0.2.2", "1.0.0"));
    EXPECT_TRUE(ListsToken("creation, termination ,expiration", "termination"));
    EXPECT_FALSE(ListsToken("creation,creation-with-upload", "creation-with"));
    EXPECT_FALSE(ListsToken("", "1.0.0"));
    uint64_t value = 7;
    EXPECT_TRUE(ParseTusNumber("20000000", value));
    EXPECT_EQ(value, 20000000u);
    for (const char* bad : {"", "-1", "12a", " 5", "99999999999999999999"})
        EXPECT_FALSE(ParseTusNumber(bad, value)) << bad;
    EXPECT_EQ(HeaderValue("HTTP/1.1 201 Created\r\nlocation: /files/9 \r\nUpload-Offset:12\r\n", "Location"),
              "/files/9");
    EXPECT_EQ(HeaderValue("HTTP/1.1 204\r\nUpload-Offset:12\r\n", "upload-offset"), "12");
    EXPECT_EQ(HeaderValue("HTTP/1.1 204\r\nX-Upload-Offset: 3\r\n", "Upload-Offset"), "");
}

}  // namespace
