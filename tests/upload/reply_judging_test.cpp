// The reply rule against what servers really send after a failure, and against 10,000
// mutated replies: no crash, no exception, bounded time, and never a success that the rule
// does not allow.
#include "Biz/JsonText.h"
#include "Biz/ServerReply.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

using namespace Vantor;

TEST(ReplyJudging, NothingButWhiteSpaceOrCommentsMayFollowTheValue)
{
    struct Case {
        std::string text;
        bool success;
    };
    const Case cases[] = {
        {"{\"success\":1} <br />\n<b>Fatal error</b>: Allowed memory size", false},
        {"{\"success\":1}{\"success\":0}", false},
        {"{\"success\":1}]", false},
        {"{\"success\":1},", false},
        {"{\"success\":1} x", false},
        {std::string("{\"success\":1}\0", 14), false},
        {"1 2", false},
        {"{\"success\":1} \r\n\t", true},
        {"{\"success\":1} // the end", true},
        {"{\"success\":1} /* a */ /* b */\n", true},
        {"\n {\"success\":1}", true},
        // The classic rules still hold: no trailing commas, no single quotes.
        {"{\"success\":1,}", false},
        {"{'success':1}", false},
    };
    for (const Case& c : cases) {
        ::Json::Value stored("before");
        EXPECT_EQ(JudgeReply(c.text, stored), c.success) << c.text;
        if (!c.success && c.text.rfind("{\"success\":1}", 0) == 0) {
            EXPECT_EQ(stored, ::Json::Value("before")) << "a reply with more after it is not stored: " << c.text;
        }
    }
}

namespace {

const std::vector<std::string> kSeeds = {
    R"({"success":1})",
    R"({"success":1,"url":"http://example.com/p/1.jpg","size":[4000,3000]})",
    R"({"success":0,"error":"too large"})",
    R"(/* php */ {"success":true, // ok
        "id":"3f2a"})",
    R"({"success":1.9,"deep":{"a":[{"b":null}]}})",
    "<html><body><h1>502 Bad Gateway</h1></body></html>",
    R"({"success":"1"})",
};

const std::vector<std::string> kFragments = {
    "{", "}", "[", "]", "\"", ",", ":", "null", "true", "false", "-", "1e999", "-1e999", "1.5",
    "99999999999999999999999", "\\u", "\\uD800", "\\", "/*", "*/", "//", "\"success\"", "\"success\":1",
    "[[[[[[[[[[[[[[[[", "{\"a\":{\"a\":{\"a\":", std::string(1, '\0'), "\xFF", "\xC3\x28", "\xE4\xB8\xAD",
    " <b>Fatal error</b>", "\r\n", "\t", "0x10", "NaN", "Infinity", "'", "}}}}}}}}",
};

std::string Mutate(std::string text, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        const size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 7) {
        case 0:  // flip one byte
            if (!text.empty())
                text[at % text.size()] = static_cast<char>(rng());
            break;
        case 1:  // cut short, as a dropped connection does
            text.resize(at);
            break;
        case 2:  // insert a fragment
            text.insert(at, kFragments[rng() % kFragments.size()]);
            break;
        case 3:  // delete a span
            if (!text.empty())
                text.erase(at % text.size(), rng() % 8);
            break;
        case 4:  // duplicate a span
            if (!text.empty()) {
                const size_t from = at % text.size();
                text.insert(from, text.substr(from, rng() % 16));
            }
            break;
        case 5:  // something after the value, as a failing script prints
            text += kFragments[rng() % kFragments.size()];
            break;
        default:  // deep nesting
            text.insert(at, std::string(rng() % 3000, rng() % 2 ? '[' : '{'));
            break;
        }
    }
    return text;
}

}  // namespace

TEST(ReplyJudging, TenThousandMutatedRepliesAreJudgedSafely)
{
    std::mt19937 rng(20260514);
    size_t successes = 0, failures = 0, rejectedTails = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) {
        const std::string& seed = kSeeds[rng() % kSeeds.size()];
        const std::string text = Mutate(seed, rng);
        ::Json::Value stored("before");
        bool success = false;
        ASSERT_NO_THROW(success = JudgeReply(text, stored)) << i;
        if (success) {
            ++successes;
            // A success is always a whole JSON text whose "success" converts to 1.
            ::Json::Value whole;
            ASSERT_TRUE(JsonText::ParseWhole(text, whole)) << text;
            EXPECT_EQ(stored, whole) << text;
            ASSERT_TRUE(stored.isObject()) << text;
            EXPECT_EQ(stored["success"].asInt(), 1) << text;
        } else {
            ++failures;
            ::Json::Value classic;
            if (JsonText::Parse(text, classic) && !JsonText::ParseWhole(text, classic))
                ++rejectedTails;  // the old rule would have judged this text
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The run exercised both outcomes and the new rule about what follows the value.
    EXPECT_GT(successes, 100u);
    EXPECT_GT(failures, 1000u);
    EXPECT_GT(rejectedTails, 100u);
    EXPECT_LT(seconds, 20.0);
    std::printf("10000 replies: %zu successes, %zu failures (%zu only for what followed the value), %.2f s\n",
                successes, failures, rejectedTails, seconds);
}
