// The page's messages in, the control's texts out, checked byte for byte.
#include "control/AppConfig.h"
#include "control/MessageBridge.h"
#include "control/OutgoingMessages.h"
#include "control/UploadPathRule.h"
#include "Biz/JsonText.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

struct Page {
    AppConfig config;
    std::vector<std::wstring> received;
    std::vector<std::wstring> added;
    MessageBridge bridge{config, [this](const std::wstring& text) { received.push_back(text); }};
    Page() { bridge.setAddFileHandler([this](const std::wstring& p) { added.push_back(p); }); }
    void post(const std::wstring& text) { bridge.handle(text); }
};

const std::wstring kLoadComplete = L"{\"browser\":\"ie32\",\"name\":\"load_complete\",\"version\":\"2,8,29,51372\"}\n";

std::wstring TempDir()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring dir = std::wstring(base) + L"fotoloft-bridge-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

std::wstring MakeFile(const std::wstring& name)
{
    const std::wstring path = TempDir() + L"\\" + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "x", 1, &written, nullptr);
    CloseHandle(h);
    return path;
}

std::string Utf8(const std::wstring& s)
{
    std::string out(WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.pop_back();
    return out;
}

}  // namespace

TEST(Init, AnswersLoadCompleteByteForByte)
{
    Page page;
    page.post(LR"({"name":"init","config":{}})");
    ASSERT_EQ(page.received.size(), 1u);
    EXPECT_EQ(page.received[0], kLoadComplete);
}

TEST(Init, WithoutConfigOrWithNullConfigSendsNothing)
{
    Page page;
    page.post(LR"({"name":"init"})");
    page.post(LR"({"name":"init","config":null})");
    EXPECT_TRUE(page.received.empty());
    EXPECT_EQ(page.config.EncodeType, L"UTF-8");  // untouched constructor value
}

TEST(Init, EmptyConfigGivesDefaults)
{
    Page page;
    page.post(LR"({"name":"init","config":{}})");
    const AppConfig& c = page.config;
    EXPECT_EQ(c.FileFieldName, "file");
    EXPECT_EQ(c.FileNameGen, "ori");
    EXPECT_EQ(c.ThreadCount, 3);
    EXPECT_EQ(c.EncodeType, L"utf-8");
    EXPECT_TRUE(c.PostUrl.empty());
    EXPECT_TRUE(c.Cookie.empty());
    EXPECT_EQ(c.FilesLimit, 300);
    EXPECT_EQ(c.FileSizeLimit, 0);
    EXPECT_EQ(c.JpegQuality, 100);
    EXPECT_EQ(c.TimeoutSeconds, 60);
    EXPECT_FALSE(c.IgnoreCertErrors);
}

TEST(Init, ReadsEveryStoredKey)
{
    Page page;
    page.post(LR"({"name":"init","config":{"FileFieldName":"photo","PostUrl":"http://127.0.0.1:8080/上传",
        "Cookie":"sid=1","EncodeType":"GBK","FileNameGen":"md5","ThreadCount":4,"AuthType":"basic",
        "AuthName":"u","AuthPass":"p","FilesLimit":20,"FileSizeLimit":1048576,"JpegQuality":85,"PickLimit":20,
        "Timeout":5,"IgnoreCertErrors":true}})");
    const AppConfig& c = page.config;
    EXPECT_EQ(c.FileFieldName, "photo");
    EXPECT_EQ(c.PostUrl, L"http://127.0.0.1:8080/上传");
    EXPECT_EQ(c.Cookie, "sid=1");
    EXPECT_EQ(c.EncodeType, L"GBK");
    EXPECT_FALSE(c.isUtf8Encoding());
    EXPECT_EQ(c.FileNameGen, "md5");
    EXPECT_EQ(c.ThreadCount, 4);
    EXPECT_EQ(c.AuthType, L"basic");
    EXPECT_EQ(c.AuthName, L"u");
    EXPECT_EQ(c.AuthPass, L"p");
    EXPECT_EQ(c.FilesLimit, 20);
    EXPECT_EQ(c.PickLimit, 20);
    EXPECT_EQ(c.FileSizeLimit, 1048576);
    EXPECT_EQ(c.JpegQuality, 85);
    EXPECT_EQ(c.TimeoutSeconds, 5);
    EXPECT_TRUE(c.IgnoreCertErrors);

    // A key left out of a later "init" returns to its default, not to the previous value.
    page.post(LR"({"name":"init","config":{"ThreadCount":2,"PickLimit":70000}})");
    EXPECT_EQ(c.FileFieldName, "file");
    EXPECT_TRUE(c.PostUrl.empty());
    EXPECT_EQ(c.EncodeType, L"utf-8");
    EXPECT_TRUE(c.isUtf8Encoding());
    EXPECT_EQ(c.FilesLimit, 300);
    EXPECT_EQ(c.PickLimit, 0);  // out of its range: no limit
    EXPECT_EQ(c.FileSizeLimit, 0);
    EXPECT_EQ(c.ThreadCount, 2);
}

TEST(Init, PictureOptionsReachTheUploadSettings)
{
    Page page;
    page.post(LR"({"name":"init","config":{"JpegQuality":85,"MaxWidth":2048,"MaxHeight":1536,"SendOriginal":true}})");
    PrepareOptions picture = page.config.uploadSettings().picture;
    EXPECT_EQ(picture.jpegQuality, 85);
    EXPECT_EQ(picture.maxWidth, 2048u);
    EXPECT_EQ(picture.maxHeight, 1536u);
    EXPECT_TRUE(picture.sendOriginal);
    EXPECT_FALSE(picture.keepJpegData);  // a quality the page names is the quality JPEGs are sent at

    // Missing, negative or unreadable values mean no limit; quality outside 1 to 100 the default.
    page.post(LR"({"name":"init","config":{"JpegQuality":0,"MaxWidth":-5,"MaxHeight":"800","SendOriginal":null}})");
    picture = page.config.uploadSettings().picture;
    EXPECT_EQ(picture.jpegQuality, 100);
    EXPECT_EQ(picture.maxWidth, 0u);
    EXPECT_EQ(picture.maxHeight, 0u);
    EXPECT_FALSE(picture.sendOriginal);
    EXPECT_TRUE(picture.keepJpegData);
    page.post(LR"({"name":"init","config":{}})");
    picture = page.config.uploadSettings().picture;
    EXPECT_EQ(picture.jpegQuality, 100);
    EXPECT_EQ(picture.maxWidth, 0u);
    EXPECT_FALSE(picture.sendOriginal);
    // By default an untouched JPEG keeps its data; "Reencode" gives the older behaviour.
    EXPECT_TRUE(picture.keepJpegData);
    page.post(LR"({"name":"init","config":{"Reencode":true}})");
    EXPECT_FALSE(page.config.uploadSettings().picture.keepJpegData);
}

TEST(Init, MetadataNamesWhatJpegsSentKeep)
{
    Page page;
    const std::pair<const wchar_t*, MetadataKept> cases[] = {
        {L"\"safe\"", MetadataKept::Safe}, {L"\"ALL\"", MetadataKept::All},   {L"\"none\"", MetadataKept::None},
        {L"\"gps\"", MetadataKept::None},  {L"true", MetadataKept::None},     {L"null", MetadataKept::None}};
    for (const auto& [value, kept] : cases) {
        page.post(std::wstring(LR"({"name":"init","config":{"Metadata":)") + value + L"}}");
        EXPECT_EQ(page.config.uploadSettings().picture.metadata, kept) << value;
        // Every "init" sets it again: left out, none.
        page.post(LR"({"name":"init","config":{}})");
        EXPECT_EQ(page.config.uploadSettings().picture.metadata, MetadataKept::None);
    }
}

TEST(Init, OnlyAnExplicitZeroTurnsTheTimeoutOff)
{
    // null is what JSON.stringify makes of NaN; it must not switch the watchdog off.
    const std::pair<const wchar_t*, int> cases[] = {
        {L"0", 0}, {L"0.0", 0}, {L"-0", 0}, {L"5", 5}, {L"2.9", 2}, {L"0.25", 1}, {L"null", 60},
        {L"false", 60}, {L"true", 60}, {L"\"0\"", 60}, {L"\"\"", 60}, {L"[0]", 60}, {L"{}", 60},
        {L"-3", 60}, {L"-0.5", 60}, {L"1e300", 86400}, {L"4294967296", 86400}};
    for (const auto& [value, expected] : cases) {
        Page page;
        page.post(std::wstring(LR"({"name":"init","config":{"Timeout":)") + value + L"}}");
        EXPECT_EQ(page.config.TimeoutSeconds, expected) << "Timeout " << Utf8(value);
        EXPECT_EQ(page.received.size(), 1u);
    }
}

TEST(Init, ThreadCountIsHeldBetweenOneAndTen)
{
    const std::pair<const wchar_t*, int> cases[] = {
        {L"25", 10}, {L"10", 10}, {L"4", 4}, {L"1", 1}, {L"0", 1}, {L"-5", 1}, {L"7.9", 7},
        {L"true", 1}, {L"null", 1}, {L"\"5\"", 3}, {L"[5]", 3}, {L"1e12", 3}};
    for (const auto& [value, expected] : cases) {
        Page page;
        page.post(std::wstring(LR"({"name":"init","config":{"ThreadCount":)") + value + L"}}");
        EXPECT_EQ(page.config.ThreadCount, expected) << "ThreadCount " << Utf8(value);
        EXPECT_EQ(page.received.size(), 1u);
    }
    Page page;
    page.post(LR"({"name":"init","config":{}})");
    EXPECT_EQ(page.config.ThreadCount, 3);
}

TEST(Init, BadMemberTypesCountAsMissing)
{
    Page page;
    page.post(LR"({"name":"init","config":{"PostUrl":["http://x"],"FileFieldName":{"a":1},
        "Cookie":17,"EncodeType":null,"Debug":"yes","LogFile":[1],"Fields":"x","FilesLimit":"9"}})");
    ASSERT_EQ(page.received.size(), 1u);
    EXPECT_TRUE(page.config.PostUrl.empty());
    EXPECT_EQ(page.config.FileFieldName, "file");
    EXPECT_EQ(page.config.Cookie, "17");      // a number becomes its text
    EXPECT_EQ(page.config.EncodeType, L"");   // null becomes the empty text
    EXPECT_TRUE(page.config.Fields.empty());
    EXPECT_EQ(page.config.FilesLimit, 300);
}

TEST(Init, ConfigThatIsNotAnObjectStillAnswers)
{
    Page page;
    page.post(LR"({"name":"init","config":42})");
    ASSERT_EQ(page.received.size(), 1u);
    EXPECT_EQ(page.config.ThreadCount, 3);
}

TEST(Fields, InitAddsWithoutOverwritingAndSetFieldsReplaces)
{
    Page page;
    page.post(LR"({"name":"init","config":{"Fields":{"a":"first","z":"last"}}})");
    page.post(LR"({"name":"init","config":{"Fields":{"a":"second","b":2}}})");
    EXPECT_EQ(page.config.Fields, (std::map<std::string, std::string>{{"a", "first"}, {"b", "2"}, {"z", "last"}}));

    page.post(LR"({"name":"setFields","fields":{"a":1,"b":true,"c":null,"d":1.5,"e":"文字"}})");
    EXPECT_EQ(page.config.Fields, (std::map<std::string, std::string>{
                                      {"a", "1"}, {"b", "true"}, {"c", ""}, {"d", "1.5"}, {"e", "文字"}}));

    page.post(LR"({"name":"setFields","fields":{"a":"new"}})");
    EXPECT_EQ(page.config.Fields, (std::map<std::string, std::string>{{"a", "new"}}));

    // Missing, null or non-object "fields" leave the table alone; an array member is dropped to "".
    page.post(LR"({"name":"setFields"})");
    page.post(LR"({"name":"setFields","fields":null})");
    page.post(LR"({"name":"setFields","fields":"x"})");
    page.post(LR"({"name":"setFields","Fields":{"q":"1"}})");
    EXPECT_EQ(page.config.Fields, (std::map<std::string, std::string>{{"a", "new"}}));
    page.post(LR"({"name":"setFields","fields":{"arr":[1,2]}})");
    EXPECT_EQ(page.config.Fields, (std::map<std::string, std::string>{{"arr", ""}}));
    EXPECT_EQ(page.received.size(), 2u);  // the two "init" answers only
}

TEST(Folder, SetFolderKeepsPreviousOnEmpty)
{
    Page page;
    page.post(LR"({"name":"setFolder","path":"C:\\照片"})");
    EXPECT_EQ(page.config.getFolder(), L"C:\\照片");
    page.post(LR"({"name":"setFolder","path":""})");
    page.post(LR"({"name":"setFolder"})");
    page.post(LR"({"name":"setFolder","path":["C:\\x"]})");
    EXPECT_EQ(page.config.getFolder(), L"C:\\照片");
}

TEST(AddFile, AcceptsExistingImagesByExtension)
{
    Page page;
    const std::wstring upper = MakeFile(L"Holiday.JPG");
    const std::wstring chinese = MakeFile(L"假期.png");
    const std::wstring jpeg = MakeFile(L"four.jpeg");
    const std::wstring text = MakeFile(L"notes.txt");
    CreateDirectoryW((TempDir() + L"\\folder.jpg").c_str(), nullptr);

    auto add = [&](const std::wstring& path) {
        std::string json = R"({"name":"addFile","path":)" + JsonText::WriteCompact(::Json::Value(Utf8(path))) + "}";
        page.bridge.handleUtf8(json);
    };
    add(upper);
    add(chinese);
    add(jpeg);
    add(text);
    add(TempDir() + L"\\missing.gif");
    add(TempDir() + L"\\folder.jpg");
    page.post(LR"({"name":"addFile","path":7})");
    page.post(LR"({"name":"addFile"})");
    // Every JPEG and TIFF name is a picture; a text file, a folder or a missing file is not.
    EXPECT_EQ(page.added, (std::vector<std::wstring>{upper, chinese, jpeg}));
}

TEST(AddFile, TakesOnlyTheKindsThePageNames)
{
    Page page;
    const std::wstring jpg = MakeFile(L"kinds.JPG");
    const std::wstring jpeg = MakeFile(L"kinds.jpeg");
    const std::wstring png = MakeFile(L"kinds.png");
    const std::wstring tif = MakeFile(L"kinds.tif");
    auto addAll = [&] {
        page.added.clear();
        for (const std::wstring& path : {jpg, jpeg, png, tif})
            page.bridge.handleUtf8(R"({"name":"addFile","path":)" + JsonText::WriteCompact(::Json::Value(Utf8(path))) +
                                   "}");
        return page.added;
    };
    // Entries with or without their dot, in any case; kinds the control cannot decode are left out.
    page.post(LR"({"name":"init","config":{"Extensions":[".JPG","png",".psd",7]}})");
    EXPECT_EQ(addAll(), (std::vector<std::wstring>{jpg, png}));
    // The five kinds of the older control give its behaviour: no ".jpeg".
    page.post(LR"({"name":"init","config":{"Extensions":[".gif",".png",".bmp",".jpg",".tif"]}})");
    EXPECT_EQ(addAll(), (std::vector<std::wstring>{jpg, png, tif}));
    // A list that names nothing decodable, or no list at all, takes every kind.
    page.post(LR"({"name":"init","config":{"Extensions":[".exe"]}})");
    EXPECT_EQ(addAll().size(), 4u);
    page.post(LR"({"name":"init","config":{"Extensions":[".png"]}})");
    page.post(LR"({"name":"init","config":{}})");
    EXPECT_EQ(addAll().size(), 4u);
}

TEST(AddFile, RefusesNetworkNamespaceAndDevicePathsFromTheText)
{
    for (const wchar_t* path : {L"\\\\host\\share\\x.jpg", L"//host/share/x.jpg", L"\\/host/x.jpg",
                                L"/\\host\\x.jpg", L"\\\\?\\C:\\x.jpg", L"\\\\?\\UNC\\host\\share\\x.jpg",
                                L"\\\\.\\C:\\x.jpg", L"\\\\.\\pipe\\x.jpg", L"//?/C:/x.jpg", L"\\?" L"?\\UNC\\host\\x.jpg",
                                L"/?" L"?/C:/x.jpg", L"C:\\photos\\COM1.jpg", L"C:\\photos\\lpt\u00B9.gif", L"nul.png",
                                L"C:con.bmp", L""})
        EXPECT_FALSE(IsPathThePageMayName(path)) << Utf8(path);
    EXPECT_FALSE(IsPathThePageMayName(std::wstring(L"C:\\a\0b.jpg", 9)));  // a NUL inside
    for (const wchar_t* path : {L"C:\\photos\\a.jpg", L"C:/photos/a.jpg", L"Z:\\tmp\\com10.jpg", L"a.png",
                                L"photos\\b.gif", L"\\photos\\c.bmp", L"C:\\x\\console.jpg", L"C:\\\u5047\\COM\u2074.jpg"})
        EXPECT_TRUE(IsPathThePageMayName(path)) << Utf8(path);

    // The same existing file through the namespaces is refused; by its plain path it is added.
    Page page;
    const std::wstring file = MakeFile(L"reach.jpg");
    auto add = [&](const std::wstring& path) {
        page.bridge.handleUtf8(R"({"name":"addFile","path":)" + JsonText::WriteCompact(::Json::Value(Utf8(path))) + "}");
    };
    add(L"\\\\?\\" + file);
    add(L"\\\\.\\" + file);
    add(L"\\?" L"?\\" + file);
    EXPECT_TRUE(page.added.empty());
    add(file);
    EXPECT_EQ(page.added, std::vector<std::wstring>{file});
}

TEST(Dispatch, IgnoresWhatIsNotAKnownMessage)
{
    Page page;
    for (const wchar_t* text : {L"", L"not json", L"[1,2]", L"\"init\"", L"{\"name\":\"Init\",\"config\":{}}",
                                L"{\"name\":\"unknown\"}", L"{\"config\":{}}", L"{\"name\":[\"init\"],\"config\":{}}",
                                L"{\"name\":\"init\",\"config\":{}", L"null"}) {
        page.post(text);
    }
    EXPECT_TRUE(page.received.empty());
}

TEST(Dispatch, AcceptsComments)
{
    Page page;
    page.post(L"/* page */ {\"name\":\"init\", // the settings\n \"config\":{}}");
    ASSERT_EQ(page.received.size(), 1u);
    EXPECT_EQ(page.received[0], kLoadComplete);
}

TEST(Outgoing, PostCompleteListsFilesInOrderWithSortedKeys)
{
    ::Json::Value reply(::Json::objectValue);
    reply["success"] = 1;
    reply["url"] = "/a.jpg";
    const std::string text = JsonText::WriteCompact(MakePostComplete(
        {{"0123456789abcdef0123456789abcdef", reply}, {"fedcba9876543210fedcba9876543210", ::Json::Value()}}));
    EXPECT_EQ(text,
              "{\"imgs\":[{\"id\":\"0123456789abcdef0123456789abcdef\",\"svr\":{\"success\":1,\"url\":\"/a.jpg\"}},"
              "{\"id\":\"fedcba9876543210fedcba9876543210\",\"svr\":null}],\"name\":\"post_complete\"}\n");
    EXPECT_EQ(JsonText::WriteCompact(MakePostComplete({})), "{\"name\":\"post_complete\"}\n");
}
