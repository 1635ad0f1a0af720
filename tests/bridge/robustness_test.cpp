// Generated and mutated page texts: the bridge must survive every one, quickly.
#include "control/AppConfig.h"
#include "control/MessageBridge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

const std::vector<std::wstring> kSeeds = {
    LR"({"name":"init","config":{"PostUrl":"http://127.0.0.1/u","ThreadCount":4,"Fields":{"a":"1","b":2},"Cookie":"c","EncodeType":"gbk","FileNameGen":"crc"}})",
    LR"({"name":"init","config":{}})",
    LR"({"name":"setFields","fields":{"x":"y","z":[1,{"q":null}],"w":1.5e10}})",
    LR"({"name":"setFolder","path":"C:\\图片\\2026"})",
    LR"({"name":"addFile","path":"C:\\nothing-here\\a.jpg"})",
    LR"(/* c */ {"name":"init", // x
        "config":{"Debug":false,"LogFile":"robust.log","FilesLimit":-1,"FileSizeLimit":99999999999}})",
};

const std::vector<std::wstring> kFragments = {
    L"{", L"}", L"[", L"]", L"\"", L",", L":", L"null", L"true", L"-", L"1e999", L"-1e999",
    L"99999999999999999999999", L"\\u", L"\\uD800", L"/*", L"//", L"\"name\"", L"\"config\"",
    L"\"init\"", L"\"ThreadCount\"", L"[[[[[[[[", L"{\"a\":{\"a\":{\"a\":", L"\0", L"\xD800", L"\xDC00",
    L"\xFFFF", L"\u4E2D", L"0.0000000001", L"\"Fields\":", L"\"path\":[]",
};

std::wstring Mutate(std::wstring text, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        const size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 6) {
        case 0:  // flip one code unit, sometimes into a lone surrogate
            if (!text.empty())
                text[at % text.size()] = static_cast<wchar_t>(rng() % 3 == 0 ? 0xD800 + rng() % 0x800 : rng() % 0x80);
            break;
        case 1:  // truncate
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
        default:  // splice another seed in
            text.insert(at, kSeeds[rng() % kSeeds.size()].substr(0, rng() % 40));
            break;
        }
    }
    return text;
}

std::wstring Nested(size_t depth, wchar_t open, wchar_t close)
{
    return L"{\"name\":\"init\",\"config\":{\"Fields\":" + std::wstring(depth, open) + std::wstring(depth, close) + L"}}";
}

}  // namespace

TEST(Robustness, HundredThousandMutatedMessages)
{
    AppConfig config;
    size_t answers = 0;
    MessageBridge bridge(config, [&](const std::wstring& text) {
        ++answers;
        ASSERT_FALSE(text.empty());
        ASSERT_EQ(text.back(), L'\n');
    });
    bridge.setAddFileHandler([](const std::wstring&) {});

    std::mt19937 rng(20261208);
    const auto start = std::chrono::steady_clock::now();
    size_t fed = 0;
    for (; fed < 100000; ++fed) {
        const std::wstring& seed = kSeeds[fed % kSeeds.size()];
        bridge.handle(fed % 10 == 0 ? seed : Mutate(seed, rng));
        // Whatever came in, the settings stay within their bounds.
        ASSERT_GE(config.ThreadCount, 1);
        ASSERT_LE(config.ThreadCount, 10);
        ASSERT_GT(config.FilesLimit, 0);
    }
    // Deep nesting of both kinds, long strings and huge numbers.
    for (size_t depth : {10u, 999u, 1001u, 20000u, 200000u}) {
        bridge.handle(Nested(depth, L'[', L']'));
        bridge.handle(Nested(depth, L'{', L'}'));
        bridge.handle(std::wstring(depth, L'['));
    }
    bridge.handle(L"{\"name\":\"init\",\"config\":{\"PostUrl\":\"" + std::wstring(1 << 20, L'x') + L"\"}}");
    bridge.handle(L"{\"name\":\"init\",\"config\":{\"ThreadCount\":" + std::wstring(5000, L'9') + L"}}");

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 120.0);
    // Every tenth text is an untouched seed, two of which are "init" with a config.
    EXPECT_GE(answers, 2u * 100000u / 10u / kSeeds.size());
    std::printf("fed %zu texts in %.1f s, %zu answers\n", fed, seconds, answers);
}
