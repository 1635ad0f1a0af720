// The control's side of an upload: its engine's reports reach its own window thread, and the
// page receives "post_complete" built from the task's own records, byte for byte. Two
// controls in one process each hear only their own task.
#include "TestSupport.h"
#include "UploadTestSupport.h"

#include "Biz/JsonText.h"
#include "control/Fotoloft.h"
#include "control/OutgoingMessages.h"
#include "image/GdiplusLease.h"
#include "platform/TextConv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>

using namespace Vantor;
using namespace uploadtest;
using namespace std::chrono_literals;

namespace {

// One control as a page holds it, with the page's function and a window draining its queue.
struct PageControl {
    PageControl()
    {
        EXPECT_EQ(CFotoloft::Create(IID_IFotoloft, reinterpret_cast<void**>(fotoloft.GetAddressOf())), S_OK);
        control = static_cast<CFotoloft*>(fotoloft.Get());
        receiver = MakeComObject<TestSupport::Receiver>();
        fotoloft->put_recvMessage(receiver.Get());
        drain = std::make_unique<TestSupport::DrainWindow>(control->tasks());
        control->UploadEnded.connect([this](const UploadTaskResult& result) {
            ended = result;
            endedAtTexts = receiver->count();
        });
        control->UploadFileChanged.connect([this](const std::shared_ptr<ImageData>& file) {
            changedOnThread.insert(GetCurrentThreadId());
            // A change handled after the file ended also reads Done: count files, not changes.
            if (file->UploadState().phase == UploadPhase::Done) {
                doneFiles.insert(file.get());
                doneSeen = static_cast<int>(doneFiles.size());
            }
        });
    }
    ~PageControl()
    {
        ComPtr<IOleObject> object;
        if (SUCCEEDED(fotoloft.As(&object))) {
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
        }
    }
    // The page's "addFile".
    void AddFile(const std::wstring& path)
    {
        ::Json::Value message(::Json::objectValue);
        message["name"] = "addFile";
        message["path"] = Utf16ToUtf8(path);
        const std::wstring text = Utf8ToUtf16(JsonText::WriteCompact(message));
        const BStr argument(text.c_str());
        EXPECT_EQ(fotoloft->postMessage(argument.get()), S_OK);
    }
    bool WaitForTexts(size_t n, std::chrono::milliseconds limit = 60s)
    {
        return TestSupport::PumpUntil([&] { return receiver->count() >= n && !control->IsUploading(); }, limit);
    }

    ComPtr<IFotoloft> fotoloft;
    CFotoloft* control = nullptr;
    ComPtr<TestSupport::Receiver> receiver;
    std::unique_ptr<TestSupport::DrainWindow> drain;
    std::optional<UploadTaskResult> ended;
    size_t endedAtTexts = 0;
    std::set<DWORD> changedOnThread;
    std::set<const ImageData*> doneFiles;
    int doneSeen = 0;
};

// The page's text for these files, built independently of the control's writer.
std::wstring PostCompleteText(const std::vector<std::shared_ptr<ImageData>>& files)
{
    if (files.empty())
        return L"{\"name\":\"post_complete\"}\n";
    std::string text = "{\"imgs\":[";
    for (size_t i = 0; i < files.size(); ++i) {
        const ::Json::Value svr = files[i]->Reply();
        // The servers' replies: {"length":L,["peak":P,]"seq":N,"success":1}, keys in byte order.
        const std::string peak = svr.isMember("peak") ? ",\"peak\":" + std::to_string(svr["peak"].asInt()) : "";
        text += (i ? ",{\"id\":\"" : "{\"id\":\"") + files[i]->id() + "\",\"svr\":{\"length\":" +
                std::to_string(svr["length"].asInt()) + peak + ",\"seq\":" + std::to_string(svr["seq"].asInt()) +
                ",\"success\":1}}";
    }
    return Utf8ToUtf16(text + "],\"name\":\"post_complete\"}\n");
}

class ControlUploadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(TestSupport::RegisterBuiltDll()); }
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        gdiplus = GdiplusLease::Acquire();
    }
    void TearDown() override { CoUninitialize(); }

    std::vector<UploadFile> Pictures(int n, int first = 0)
    {
        std::vector<std::wstring> paths;
        for (int i = first; i < first + n; ++i)
            paths.push_back(MakePicture(folder, L"c" + std::to_wstring(i) + L".bmp", 32, 24, i + 3));
        return FilesOf(paths);
    }

    GdiplusLease gdiplus;
    testpics::TempFolder folder;
};

}  // namespace

TEST_F(ControlUploadTest, ThePageGetsPostCompleteFromTheTasksOwnRecords)
{
    PageControl page;
    const std::vector<UploadFile> files = Pictures(3);
    ASSERT_TRUE(page.control->StartUpload(files, SettingsFor("/record", 1)));
    EXPECT_TRUE(page.control->IsUploading());
    EXPECT_FALSE(page.control->StartUpload(files, SettingsFor("/record", 1))) << "one task at a time";
    ASSERT_TRUE(page.WaitForTexts(1));
    TestSupport::PumpFor(100ms);
    ASSERT_EQ(page.receiver->count(), 1u);
    // Finished last first: that is the order of "imgs".
    const std::vector<std::shared_ptr<ImageData>> order{files[2].record, files[1].record, files[0].record};
    EXPECT_EQ(page.receiver->calls()[0].text, PostCompleteText(order));
    ASSERT_TRUE(page.ended.has_value());
    EXPECT_EQ(page.endedAtTexts, 0u) << "the task's end comes before the page's message";
    EXPECT_EQ(page.ended->completed, order);
    EXPECT_EQ(page.doneSeen, 3);
    EXPECT_EQ(page.changedOnThread, std::set<DWORD>{GetCurrentThreadId()}) << "reports handled off the window thread";
}

TEST_F(ControlUploadTest, EveryFileFailingSendsPostCompleteWithoutImgs)
{
    PageControl page;
    ASSERT_TRUE(page.control->StartUpload(Pictures(2), SettingsFor("/html", 2)));
    ASSERT_TRUE(page.WaitForTexts(1));
    TestSupport::PumpFor(100ms);
    ASSERT_EQ(page.receiver->count(), 1u);
    EXPECT_EQ(page.receiver->calls()[0].text, L"{\"name\":\"post_complete\"}\n");
}

TEST_F(ControlUploadTest, ACancelledTaskStillReportsTheFilesItUploaded)
{
    PageControl page;
    const std::vector<UploadFile> files = Pictures(5);
    ASSERT_TRUE(page.control->StartUpload(files, SettingsFor("/slow?group=cancel", 1)));
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return page.doneSeen >= 1; }, 30s));
    page.control->CancelUpload();
    ASSERT_TRUE(page.WaitForTexts(1, 10s));
    TestSupport::PumpFor(100ms);
    ASSERT_TRUE(page.ended.has_value());
    EXPECT_GT(page.ended->leftWaiting, 0u);
    ASSERT_FALSE(page.ended->completed.empty());
    ASSERT_EQ(page.receiver->count(), 1u);
    EXPECT_EQ(page.receiver->calls()[0].text, PostCompleteText(page.ended->completed));
    EXPECT_EQ(files[4].record, page.ended->completed[0]);
}

TEST_F(ControlUploadTest, TwoControlsEachHearOnlyTheirOwnTask)
{
    PageControl first, second;
    const std::vector<UploadFile> mine = Pictures(2, 0), theirs = Pictures(3, 10);
    ASSERT_TRUE(first.control->StartUpload(mine, SettingsFor("/slow?group=p1", 2)));
    ASSERT_TRUE(second.control->StartUpload(theirs, SettingsFor("/slow?group=p2", 2)));
    ASSERT_TRUE(first.WaitForTexts(1));
    ASSERT_TRUE(second.WaitForTexts(1));
    TestSupport::PumpFor(100ms);
    ASSERT_EQ(first.receiver->count(), 1u);
    ASSERT_EQ(second.receiver->count(), 1u);
    EXPECT_EQ(first.receiver->calls()[0].text, PostCompleteText(first.ended->completed));
    EXPECT_EQ(second.receiver->calls()[0].text, PostCompleteText(second.ended->completed));
    EXPECT_EQ(first.ended->completed.size(), 2u);
    EXPECT_EQ(second.ended->completed.size(), 3u);
    EXPECT_EQ(first.doneSeen, 2);
    EXPECT_EQ(second.doneSeen, 3);
}

TEST_F(ControlUploadTest, AControlReleasedDuringAnUploadLeavesTheTaskSafely)
{
    const std::vector<UploadFile> files = Pictures(4);
    {
        PageControl page;
        ASSERT_TRUE(page.control->StartUpload(files, SettingsFor("/slow?group=gone", 2)));
        ASSERT_TRUE(TestSupport::PumpUntil([&] { return page.control->UploadProgress().ended >= 1; }, 30s));
    }
    // The task goes on alone, stopped; its reports go nowhere. Its files end soon after.
    const auto settled = [&] {
        for (const UploadFile& f : files) {
            const UploadPhase phase = f.record->UploadState().phase;
            if (phase == UploadPhase::Waiting || phase == UploadPhase::Sending || phase == UploadPhase::AwaitingReply)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(TestSupport::PumpUntil(settled, 5s));
}

TEST_F(ControlUploadTest, TheUploadedFilesLeaveTheListAndTheOthersStayForTheNextPress)
{
    PageControl page;
    const std::wstring good1 = MakePicture(folder, L"g1.bmp", 30, 20, 1);
    const std::wstring good2 = MakePicture(folder, L"g2.bmp", 30, 20, 2);
    const std::wstring broken = folder.file(L"broken.jpg");
    ASSERT_TRUE(testpics::WriteBytes(broken, std::vector<uint8_t>(3000, 0x33)));
    for (const std::wstring& path : {good1, broken, good2})
        page.AddFile(path);
    std::vector<UploadFile> snapshot = page.control->UploadSnapshot();
    ASSERT_EQ(snapshot.size(), 3u);
    EXPECT_EQ(snapshot[1].record->path(), broken);
    const std::string brokenId = snapshot[1].id;
    ASSERT_TRUE(page.control->StartUpload(std::move(snapshot), SettingsFor("/record", 2)));
    ASSERT_TRUE(page.WaitForTexts(1));
    ASSERT_TRUE(page.ended.has_value());
    EXPECT_EQ(page.ended->completed.size(), 2u);
    EXPECT_EQ(page.ended->failed, 1u);
    const std::vector<UploadFile> left = page.control->UploadSnapshot();
    ASSERT_EQ(left.size(), 1u) << "the uploaded files are still in the list";
    EXPECT_EQ(left[0].id, brokenId);
    EXPECT_EQ(left[0].record->UploadState().phase, UploadPhase::Failed);
    EXPECT_EQ(page.receiver->calls()[0].text, PostCompleteText(page.ended->completed));
}

TEST_F(ControlUploadTest, OneFileUnderEverySpellingOfItsPathIsOneItemAndOneUpload)
{
    PageControl page;
    const std::wstring dir = folder.path();
    const std::wstring parent = dir.substr(0, dir.find_last_of(L'\\'));
    const std::wstring leaf = dir.substr(parent.size() + 1);
    const std::wstring name = L"Picture of a Long Name.bmp";
    const std::wstring path = MakePicture(folder, name, 40, 30, 7);
    std::wstring upper = path, slashes = path, otherDrive = path;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
    otherDrive[0] = static_cast<wchar_t>(iswupper(path[0]) ? towlower(path[0]) : towupper(path[0]));
    std::wstring shortName(MAX_PATH, L'\0');
    shortName.resize(GetShortPathNameW(path.c_str(), &shortName[0], MAX_PATH));
    // The spelling without a drive names the file through the current drive.
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(parent.c_str()));
    const std::vector<std::wstring> spellings = {
        path.substr(2),  // "\folder\name" on the current drive: the first one added
        path, otherDrive, upper, slashes,
        dir + L"\\.\\" + name,
        dir + L"\\..\\" + leaf + L"\\" + name,
        dir + L"\\\\" + name,
        leaf + L"\\" + name,  // relative to the current folder
        shortName,
    };
    for (const std::wstring& spelling : spellings)
        page.AddFile(spelling);
    std::vector<UploadFile> snapshot = page.control->UploadSnapshot();
    ASSERT_EQ(snapshot.size(), 1u) << "the file under " << snapshot.size() << " spellings";
    EXPECT_EQ(snapshot[0].record->path(), path) << "held under its full path";

    // A hard link is another path to the same bytes: another item, as a copy would be.
    const std::wstring link = folder.file(L"link.bmp");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), path.c_str(), nullptr));
    page.AddFile(link);
    page.AddFile(folder.file(L"LINK.BMP"));
    SetCurrentDirectoryW(before);
    snapshot = page.control->UploadSnapshot();
    ASSERT_EQ(snapshot.size(), 2u);

    ASSERT_TRUE(page.control->StartUpload(snapshot, SettingsFor("/record", 3)));
    ASSERT_TRUE(page.WaitForTexts(1));
    ASSERT_TRUE(page.ended.has_value());
    EXPECT_EQ(page.ended->completed.size(), 2u);
    for (const UploadFile& file : snapshot)
        EXPECT_EQ(RecordedBodiesContaining(file.id), 1) << "one request for each item";
    EXPECT_TRUE(page.control->UploadSnapshot().empty());
}

namespace {

// The page's messages so far, parsed, without "load_complete".
std::vector<::Json::Value> PageMessages(const PageControl& page)
{
    std::vector<::Json::Value> messages;
    for (const auto& call : page.receiver->calls()) {
        ::Json::Value message;
        EXPECT_TRUE(JsonText::Parse(Utf16ToUtf8(call.text), message)) << Utf16ToUtf8(call.text);
        if (message["name"].asString() != "load_complete")
            messages.push_back(message);
    }
    return messages;
}

void SendInit(PageControl& page, const std::string& config)
{
    const std::wstring text = Utf8ToUtf16("{\"name\":\"init\",\"config\":" + config + "}");
    const BStr argument(text.c_str());
    ASSERT_EQ(page.fotoloft->postMessage(argument.get()), S_OK);
}

bool WaitForMessage(PageControl& page, const char* name, std::chrono::milliseconds limit)
{
    return TestSupport::PumpUntil(
        [&] {
            for (const ::Json::Value& m : PageMessages(page))
                if (m["name"].asString() == name)
                    return !page.control->IsUploading();
            return false;
        },
        limit);
}

}  // namespace

TEST_F(ControlUploadTest, OnePressThroughAFailingServerStoresEveryFileOnceAndTellsThePageInOrder)
{
    // A fifth of 200 files fail their first two tries (a reset, then a 503).
    PageControl page;
    SendInit(page, "{\"Events\":true}");
    const std::vector<UploadFile> files = Pictures(200, 100);
    UploadSettings settings = SettingsFor("/flaky?every=5&fails=2", 5);
    settings.retryDelaysMs = {100, 300};
    ASSERT_TRUE(page.control->StartUpload(files, settings));
    ASSERT_TRUE(WaitForMessage(page, "task_summary", 120s)) << "no end within 120 s of the press";
    TestSupport::PumpFor(200ms);
    const std::vector<::Json::Value> messages = PageMessages(page);

    // One "post_complete" with every file once, each stored once by the server.
    std::vector<const ::Json::Value*> completes;
    for (const ::Json::Value& m : messages)
        if (m["name"].asString() == "post_complete")
            completes.push_back(&m);
    ASSERT_EQ(completes.size(), 1u);
    const ::Json::Value& imgs = (*completes[0])["imgs"];
    ASSERT_EQ(imgs.size(), files.size());
    std::set<std::string> reported;
    for (const ::Json::Value& img : imgs) {
        reported.insert(img["id"].asString());
        EXPECT_EQ(img["svr"]["stored"].asInt(), 1);
        EXPECT_FALSE(img.isMember("index")) << "index without SendIndex";
    }
    EXPECT_EQ(reported.size(), files.size());

    // Per file: progress, then exactly one end; nothing about it afterwards.
    std::map<std::string, std::vector<std::string>> perFile;
    for (const ::Json::Value& m : messages)
        if (m.isMember("id"))
            perFile[m["id"].asString()].push_back(m["name"].asString());
    ASSERT_EQ(perFile.size(), files.size());
    size_t retried = 0;
    for (const UploadFile& file : files) {
        const std::vector<std::string>& names = perFile[file.id];
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(names.back(), "file_done") << file.id;
        EXPECT_EQ(std::count(names.begin(), names.end(), "file_done"), 1);
        EXPECT_EQ(std::count(names.begin(), names.end(), "file_failed"), 0);
        EXPECT_GE(std::count(names.begin(), names.end(), "file_progress"), 1);
        retried += file.record->Reply()["tries"].asInt() > 1;
    }
    EXPECT_GE(retried, 20u) << "the server failed too few files for this test";
    // The summary is the last word.
    const ::Json::Value& summary = messages.back();
    EXPECT_EQ(summary["name"].asString(), "task_summary");
    EXPECT_EQ(summary["done"].asInt(), 200);
    EXPECT_EQ(summary["failed"].asInt(), 0);
    EXPECT_EQ(summary["not_started"].asInt(), 0);
}

TEST_F(ControlUploadTest, EventsAreOffByDefaultAndAFailureTellsItsReason)
{
    {
        PageControl page;
        ASSERT_TRUE(page.control->StartUpload(Pictures(1), SettingsFor("/status400", 1)));
        ASSERT_TRUE(page.WaitForTexts(1));
        TestSupport::PumpFor(100ms);
        ASSERT_EQ(page.receiver->count(), 1u) << "a page that did not ask hears only post_complete";
    }
    PageControl page;
    SendInit(page, "{\"Events\":true}");
    const std::vector<UploadFile> files = Pictures(1, 7);
    ASSERT_TRUE(page.control->StartUpload(files, SettingsFor("/status400", 1)));
    ASSERT_TRUE(WaitForMessage(page, "task_summary", 30s));
    const std::vector<::Json::Value> messages = PageMessages(page);
    ASSERT_GE(messages.size(), 3u);
    const ::Json::Value& failed = messages[messages.size() - 3];
    EXPECT_EQ(failed["name"].asString(), "file_failed");
    EXPECT_EQ(failed["id"].asString(), files[0].id);
    EXPECT_EQ(failed["reason"].asString(), "http_status");
    EXPECT_EQ(failed["status"].asInt(), 400);
    EXPECT_EQ(failed["reply"].asString(), "{\"success\":0,\"msg\":\"bad request\"}");
    EXPECT_EQ(messages[messages.size() - 2]["name"].asString(), "post_complete");
    EXPECT_EQ(messages.back()["failed"].asInt(), 1);
    EXPECT_EQ(messages.back()["done"].asInt(), 0);
}

TEST_F(ControlUploadTest, TheIndexRestoresTheListsOrderWhateverOrderTheRepliesCameIn)
{
    PageControl page;
    const std::vector<UploadFile> files = Pictures(5, 40);
    UploadSettings settings = SettingsFor("/shuffle?n=5", 5);
    settings.sendIndex = true;
    ASSERT_TRUE(page.control->StartUpload(files, settings));
    ASSERT_TRUE(page.WaitForTexts(1));
    const std::vector<::Json::Value> messages = PageMessages(page);
    ASSERT_EQ(messages.size(), 1u);
    const ::Json::Value& imgs = messages[0]["imgs"];
    ASSERT_EQ(imgs.size(), 5u);
    std::vector<std::string> finished, restored(5);
    for (const ::Json::Value& img : imgs) {
        finished.push_back(img["id"].asString());
        const int index = img["index"].asInt();
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 5);
        restored[index] = img["id"].asString();
        // The request carried the same index.
        EXPECT_EQ(img["svr"]["index"].asString(), std::to_string(index));
    }
    std::vector<std::string> listOrder;
    for (const UploadFile& file : files)
        listOrder.push_back(file.id);
    EXPECT_NE(finished, listOrder) << "the replies came in the list's order: nothing to restore";
    EXPECT_EQ(restored, listOrder);
}
