// The request an upload sends, byte for byte, and the rule that judges the server's reply.
#include "Biz/JsonText.h"
#include "Biz/HttpClient.h"
#include "Biz/HttpHeader.h"
#include "Biz/MemFile.h"
#include "Biz/MimeTable.h"
#include "Biz/MultipartWriter.h"
#include "Biz/ServerReply.h"
#include "Biz/UploadRequest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace Vantor;

namespace {
std::string BodyOf(const UploadRequest& request)
{
    return request.bodyText();
}

std::string TextField(const std::string& boundary, const std::string& name, const std::string& value)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}
}  // namespace

TEST(UploadBody, ThreeByteFileWithDefaults)
{
    UploadForm form;
    form.id = "0123456789abcdef0123456789abcdef";
    form.width = 640;
    form.height = -1;
    form.remark = "a%2Ejpg";
    form.fileName = "a.jpg";
    form.data = "xyz";
    form.length = 3;
    UploadRequest request;
    ASSERT_TRUE(BuildUploadRequest(form, request));
    const std::string bnd = request.boundary;
    const std::string expected = TextField(bnd, "id", form.id) + TextField(bnd, "width", "640") +
                                 TextField(bnd, "height", "-1") + TextField(bnd, "remark", "a%2Ejpg") + "--" + bnd +
                                 "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.jpg\"\r\n"
                                 "Content-Type: image/jpeg\r\nContent-Transfer-Encoding: binary\r\n\r\nxyz\r\n--" +
                                 bnd + "--\r\n";
    EXPECT_EQ(BodyOf(request), expected);
    EXPECT_EQ(request.headerText, "Accept: */*\r\nConnection: Close\r\nContent-Type: multipart/form-data; boundary=" +
                                      bnd + "\r\n");
}

TEST(UploadBody, FieldsCookieAndEmptyFile)
{
    UploadForm form;
    form.id = "id";
    form.fields = {{"b", "1"}, {"B", "2"}, {"a", "line\r\nbreak"}};
    form.fileFieldName = "upload";
    form.fileName = "PHOTO.JPG";
    form.cookie = "sid=1";
    UploadRequest request;
    ASSERT_TRUE(BuildUploadRequest(form, request));
    const std::string bnd = request.boundary;
    const std::string body = BodyOf(request);
    const auto pB = body.find("name=\"B\""), pa = body.find("name=\"a\""), pb = body.find("name=\"b\"");
    ASSERT_NE(pB, std::string::npos);
    EXPECT_LT(pB, pa);
    EXPECT_LT(pa, pb);
    EXPECT_NE(body.find("\r\n\r\nline\r\nbreak\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"upload\"; filename=\"PHOTO.JPG\"\r\nContent-Type: application/octet-stream\r\n"
                        "Content-Transfer-Encoding: binary\r\n\r\n\r\n--" + bnd + "--\r\n"),
              std::string::npos);
    EXPECT_EQ(request.headerText, "Accept: */*\r\nConnection: Close\r\nContent-Type: multipart/form-data; boundary=" +
                                      bnd + "\r\nCookie: sid=1\r\n");

    form.cookie = "";
    ASSERT_TRUE(BuildUploadRequest(form, request));
    EXPECT_EQ(request.headerText.find("Cookie"), std::string::npos);
}

TEST(UploadBody, EveryRequestHasABoundaryOfItsOwn)
{
    UploadForm form;
    form.fileName = "x.jpg";
    form.data = "plain";
    form.length = 5;
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        UploadRequest request;
        ASSERT_TRUE(BuildUploadRequest(form, request));
        const std::string& b = request.boundary;
        // As browsers make them: hyphens, then random hexadecimal digits; within the 70
        // characters the multipart standard allows.
        ASSERT_EQ(b.size(), 59u) << b;
        EXPECT_EQ(b.find_first_not_of('-'), 27u) << b;
        EXPECT_EQ(b.find_first_not_of("0123456789abcdef", 27), std::string::npos) << b;
        EXPECT_NE(request.headerText.find("boundary=" + b + "\r\n"), std::string::npos);
        EXPECT_EQ(BodyOf(request).compare(0, b.size() + 4, "--" + b + "\r\n"), 0);
        seen.insert(b);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(UploadBody, BoundaryFoundInTheContentIsDrawnAgain)
{
    // The candidates come in a known order here, so that they clash with the content.
    const std::vector<std::string> candidates = {"Bfirst", "Bsecond", "Bthird", "Bfourth"};
    auto from = [&candidates](size_t& next) {
        return [&candidates, &next] { return candidates.at(next++); };
    };
    const std::string file = "before\r\n--Bfirst--\r\nafter";
    size_t next = 0;
    EXPECT_EQ(ChooseBoundary({"id", file}, from(next)), "Bsecond");
    next = 0;
    EXPECT_EQ(ChooseBoundary({"x Bfirst", "Bsecond", ""}, from(next)), "Bthird");  // in a field value or name
    next = 0;
    EXPECT_EQ(ChooseBoundary({"Bfirs", "t"}, from(next)), "Bfirst");  // only whole occurrences count

    // The file's bytes count only when checked now; the sender checks them otherwise.
    UploadForm form;
    form.fileName = "x.bin";
    form.data = file.data();
    form.length = file.size();
    UploadRequest request;
    ASSERT_TRUE(BuildUploadRequest(form, request, BoundaryCheck::Now));
    EXPECT_NE(BodyOf(request).find("\r\n\r\n" + file + "\r\n--" + request.boundary + "--\r\n"), std::string::npos);
}

TEST(UploadBody, QuotesAndLineBreaksInNamesAreEscaped)
{
    MemFile file;
    MultipartWriter writer(file, "B");
    ASSERT_TRUE(writer.writeField("a\"b\r\nc", "v\"\r\n"));
    ASSERT_TRUE(writer.writeFileField("f\".jpg\r\nX-Evil: 1", "D", 1, "fi\"le", "image/jpeg"));
    const std::string body(reinterpret_cast<const char*>(file.buffer()), file.size());
    EXPECT_EQ(body,
              "--B\r\nContent-Disposition: form-data; name=\"a%22b%0D%0Ac\"\r\n\r\nv\"\r\n\r\n"
              "--B\r\nContent-Disposition: form-data; name=\"fi%22le\"; filename=\"f%22.jpg%0D%0AX-Evil: 1\"\r\n"
              "Content-Type: image/jpeg\r\nContent-Transfer-Encoding: binary\r\n\r\nD\r\n");
}

TEST(UploadBody, HeaderSetIsOrderedAndRejectsLineBreaks)
{
    HttpHeader header("-----B");
    header.set("Cookie", "a=1\r\nX-Injected: yes");
    header.set("Accept", "");  // ignored
    header.set("B-Name", "v");
    EXPECT_EQ(header.text(), "Accept: */*\r\nB-Name: v\r\nContent-Type: multipart/form-data; boundary=-----B"
                             "\r\nCookie: a=1X-Injected: yes\r\n");
}

TEST(UploadBody, MimeTypeByExactExtension)
{
    EXPECT_EQ(MimeTypeOf("a.jpg"), "image/jpeg");
    EXPECT_EQ(MimeTypeOf("a.b.jpeg"), "image/jpeg");
    EXPECT_EQ(MimeTypeOf("scan.tiff"), "image/tiff");
    EXPECT_EQ(MimeTypeOf("x.bmp"), "application/x-bmp");
    EXPECT_EQ(MimeTypeOf("song.wam"), "video/x-ms-wma");
    EXPECT_EQ(MimeTypeOf("PHOTO.JPG"), "application/octet-stream");
    EXPECT_EQ(MimeTypeOf("noext"), "application/octet-stream");
    EXPECT_EQ(MimeTypeOf("Holiday%2EJPG"), "application/octet-stream");
    EXPECT_EQ(MimeTypeOf("dir.png\\file"), "application/octet-stream");
    EXPECT_EQ(MimeTypeOf(""), "application/octet-stream");
}

TEST(MemFileTest, GrowsInSixtyFourKibSteps)
{
    MemFile file;
    EXPECT_EQ(file.size(), 0);
    EXPECT_EQ(file.capacity(), 0u);
    EXPECT_EQ(file.write("abc", 1, 3), 3u);
    EXPECT_EQ(file.capacity(), 65536u);
    std::string big(65536 - 3, 'x');
    EXPECT_EQ(file.write(big.data(), 1, big.size()), big.size());
    EXPECT_EQ(file.capacity(), 65536u);  // exactly full
    EXPECT_EQ(file.write("x", 1, 1), 1u);
    EXPECT_EQ(file.capacity(), 65536u * 2);  // 65537 needed: the next multiple above it
    EXPECT_EQ(file.size(), 65537);
    EXPECT_EQ(file.write("", 1, 0), 0u);

    // An ordinary memory file for reading back.
    ASSERT_TRUE(file.seek(-10, SEEK_SET));
    EXPECT_EQ(file.tell(), 0);
    char three[4] = {};
    EXPECT_EQ(file.read(three, 1, 3), 3u);
    EXPECT_STREQ(three, "abc");
    ASSERT_TRUE(file.seek(-1, SEEK_END));
    EXPECT_EQ(file.getC(), 'x');
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(file.getC(), EOF);
    ASSERT_TRUE(file.seek(0, SEEK_SET));
    EXPECT_EQ(file.putC('A'), 'A');
    EXPECT_EQ(file.size(), 65537);
    EXPECT_EQ(file.buffer()[0], 'A');

    MemFile lines;
    lines.write("one\ntwo", 1, 7);
    lines.seek(0, SEEK_SET);
    char line[16];
    ASSERT_NE(lines.getLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "one\n");
    ASSERT_NE(lines.getLine(line, 3), nullptr);
    EXPECT_STREQ(line, "tw");
    file.close();
    EXPECT_EQ(file.size(), -1);
    EXPECT_EQ(file.write("a", 1, 1), 0u);
}

TEST(Progress, FileBytesCountFromTheStartOfTheBody)
{
    EXPECT_EQ(HttpRequest::FileBytesOf(0, 131072, 250000), 131072u);
    EXPECT_EQ(HttpRequest::FileBytesOf(131072, 131072, 250000), 118928u);
    EXPECT_EQ(HttpRequest::FileBytesOf(262144, 37856, 250000), 0u);
    EXPECT_EQ(HttpRequest::FileBytesOf(262144, 37856, 0), 37856u);
    EXPECT_EQ(HttpRequest::FileBytesOf(5, 10, -3), 10u);
}

TEST(Reply, SuccessOnlyForExactlyOne)
{
    struct Case {
        const char* text;
        bool success;
    };
    const Case cases[] = {
        {R"({"success":1})", true},          {R"({"success":true})", true},
        {R"({"success":1.9})", true},        {"/* c */ {\"success\":1} // tail", true},
        {R"({"success":"1"})", false},       {R"({"success":2})", false},
        {R"({"success":0})", false},         {"{}", false},
        {"[1]", false},                      {R"({"success":4294967297})", false},
        {R"({"success":-0.5})", false},      {R"({"success":[1]})", false},
        {"null", false},                     {"7", false},
    };
    for (const Case& c : cases) {
        ::Json::Value stored;
        EXPECT_EQ(JudgeReply(c.text, stored), c.success) << c.text;
        ::Json::Value expected;
        ASSERT_TRUE(JsonText::Parse(c.text, expected));
        EXPECT_EQ(stored, expected) << c.text;
    }
}

TEST(Reply, TextThatIsNotJsonLeavesTheStoredReply)
{
    ::Json::Value stored("before");
    EXPECT_FALSE(JudgeReply("<html><body>500</body></html>", stored));
    EXPECT_FALSE(JudgeReply("", stored));
    EXPECT_EQ(stored, ::Json::Value("before"));
}
