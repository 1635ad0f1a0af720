// Value-to-text and value-to-number conversions of page members.
#include "Biz/JsonText.h"

#include <gtest/gtest.h>

using namespace Vantor;

namespace {
::Json::Value Parsed(const std::string& text)
{
    ::Json::Value v;
    EXPECT_TRUE(JsonText::Parse(text, v)) << text;
    return v;
}
}  // namespace

TEST(JsonText, ScalarsBecomeText)
{
    const auto v = Parsed(R"({"s":"abc","n":null,"t":true,"f":false,"i":-12,"u":4294967295,"r":0.1,"w":2.0,"a":[],"o":{}})");
    EXPECT_EQ(JsonText::ReadText(v, "s"), "abc");
    EXPECT_EQ(JsonText::ReadText(v, "n", "dflt"), "");
    EXPECT_EQ(JsonText::ReadText(v, "t"), "true");
    EXPECT_EQ(JsonText::ReadText(v, "f"), "false");
    EXPECT_EQ(JsonText::ReadText(v, "i"), "-12");
    EXPECT_EQ(JsonText::ReadText(v, "u"), "4294967295");
    EXPECT_EQ(JsonText::ReadText(v, "r"), "0.10000000000000001");  // 17 significant digits
    EXPECT_EQ(JsonText::ReadText(v, "w"), "2.0");
    EXPECT_EQ(JsonText::ReadText(v, "a", "dflt"), "dflt");
    EXPECT_EQ(JsonText::ReadText(v, "o", "dflt"), "dflt");
    EXPECT_EQ(JsonText::ReadText(v, "missing", "dflt"), "dflt");
    EXPECT_EQ(JsonText::ReadText(::Json::Value("root"), "s", "dflt"), "dflt");
}

TEST(JsonText, IntegersAcceptNumbersBooleansAndNull)
{
    const auto v = Parsed(R"({"i":42,"neg":-3.99,"big":3000000000,"t":true,"n":null,"s":"5","r":1e300,"min":-2147483648})");
    EXPECT_EQ(JsonText::ReadInt(v, "i", 7), 42);
    EXPECT_EQ(JsonText::ReadInt(v, "neg", 7), -3);
    EXPECT_EQ(JsonText::ReadInt(v, "big", 7), 7);
    EXPECT_EQ(JsonText::ReadInt(v, "t", 7), 1);
    EXPECT_EQ(JsonText::ReadInt(v, "n", 7), 0);
    EXPECT_EQ(JsonText::ReadInt(v, "s", 7), 7);
    EXPECT_EQ(JsonText::ReadInt(v, "r", 7), 7);
    EXPECT_EQ(JsonText::ReadInt(v, "min", 7), INT32_MIN);
    EXPECT_EQ(JsonText::ReadInt(v, "missing", 7), 7);
}

TEST(JsonText, BooleansAcceptNumbersAndNull)
{
    const auto v = Parsed(R"({"t":true,"one":1,"zero":0,"half":0.5,"n":null,"s":"true","a":[true]})");
    EXPECT_TRUE(JsonText::ReadBool(v, "t", false));
    EXPECT_TRUE(JsonText::ReadBool(v, "one", false));
    EXPECT_FALSE(JsonText::ReadBool(v, "zero", true));
    EXPECT_TRUE(JsonText::ReadBool(v, "half", false));
    EXPECT_FALSE(JsonText::ReadBool(v, "n", true));
    EXPECT_FALSE(JsonText::ReadBool(v, "s", false));
    EXPECT_FALSE(JsonText::ReadBool(v, "a", false));
}

TEST(JsonText, ParseRejectsBrokenAndTooDeepText)
{
    ::Json::Value v;
    EXPECT_FALSE(JsonText::Parse("{\"a\":", v));
    EXPECT_FALSE(JsonText::Parse(std::string(5000, '['), v));
    EXPECT_FALSE(JsonText::Parse(std::string(100000, '{'), v));
    EXPECT_TRUE(JsonText::Parse("// only a comment\n 5", v));
    EXPECT_EQ(v.asInt(), 5);
}

TEST(JsonText, CompactWriterSortsKeysAndEndsWithLineFeed)
{
    ::Json::Value v(::Json::objectValue);
    v["z"] = 1;
    v["B"] = "é";
    v["a"] = ::Json::Value(::Json::arrayValue);
    EXPECT_EQ(JsonText::WriteCompact(v), "{\"B\":\"\\u00e9\",\"a\":[],\"z\":1}\n");
}
