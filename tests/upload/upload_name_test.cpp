// The upload file name rule and the encoding of names and remarks.
#include "Biz/UploadName.h"

#include <gtest/gtest.h>

#include <set>

using namespace Vantor;

namespace {
const std::string kAbc = "abc";
bool IsLowerHex(const std::string& s)
{
    return s.find_first_not_of("0123456789abcdef") == std::string::npos;
}
}  // namespace

TEST(UploadName, UrlEncodingKeepsOnlyLettersAndDigits)
{
    EXPECT_EQ(UrlEncode("Az09"), "Az09");
    EXPECT_EQ(UrlEncode("a b.c-d_e~"), "a+b%2Ec%2Dd%5Fe%7E");
    EXPECT_EQ(UrlEncode(std::string("\0\xff", 2)), "%00%FF");
    EXPECT_EQ(EncodeText(L"\u7167\u7247 1", true), "%E7%85%A7%E7%89%87+1");
    EXPECT_EQ(EncodeText(L"a\"b\r\n", true), "a%22b%0D%0A");
    EXPECT_EQ(EncodeText(L"Holiday.JPG", false), "Holiday.JPG");
    EXPECT_EQ(EncodeText(L"", true), "");
}

TEST(UploadName, EncodeTypeIsComparedWithoutCase)
{
    EXPECT_TRUE(IsUtf8EncodeType(L"UTF-8"));
    EXPECT_TRUE(IsUtf8EncodeType(L"utf-8"));
    EXPECT_TRUE(IsUtf8EncodeType(L"Utf-8"));
    EXPECT_FALSE(IsUtf8EncodeType(L"utf8"));
    EXPECT_FALSE(IsUtf8EncodeType(L"gbk"));
    EXPECT_FALSE(IsUtf8EncodeType(L""));
    EXPECT_FALSE(IsUtf8EncodeType(L"utf-8 "));
}

TEST(UploadName, OwnNameIsUrlEncodedOnlyForUtf8)
{
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "ori", true, kAbc.data(), 3), "Holiday%2EJPG");
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "ori", false, kAbc.data(), 3), "Holiday.JPG");
    // Unknown words, and the known ones in other letter case, keep the file's own name.
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "GUID", false, kAbc.data(), 3), "Holiday.JPG");
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "Crc", false, kAbc.data(), 3), "Holiday.JPG");
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "", false, kAbc.data(), 3), "Holiday.JPG");
}

TEST(UploadName, DigestNamesComeFromTheBytesSent)
{
    EXPECT_EQ(Crc32Hex("abc", 3), "c2412435");
    EXPECT_EQ(Crc32Hex("", 0), "00000000");
    EXPECT_EQ(Md5Hex("abc", 3), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "crc", false, kAbc.data(), 3), "c2412435.JPG");
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "crc", true, kAbc.data(), 3), "c2412435%2EJPG");
    EXPECT_EQ(UploadFileName(L"Holiday.JPG", L".JPG", "md5", false, kAbc.data(), 3),
              "900150983cd24fb0d6963f7d28e17f72.JPG");
    EXPECT_EQ(UploadFileName(L"noext", L"", "crc", false, kAbc.data(), 3), "c2412435");
}

TEST(UploadName, GuidNamesAreFreshAndKeepTheExtensionCase)
{
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        const std::string name = UploadFileName(L"Holiday.JPG", L".JPG", "guid", false, nullptr, 0);
        ASSERT_EQ(name.size(), 36u) << name;
        EXPECT_TRUE(IsLowerHex(name.substr(0, 32))) << name;
        EXPECT_EQ(name.substr(32), ".JPG");
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), 20u);
    const std::string encoded = UploadFileName(L"Holiday.JPG", L".JPG", "guid", true, nullptr, 0);
    EXPECT_EQ(encoded.substr(32), "%2EJPG");

    const std::string id = NewUuidHex();
    EXPECT_EQ(id.size(), 32u);
    EXPECT_TRUE(IsLowerHex(id));
    EXPECT_EQ(id[12], '4');  // version 4
}
