// The debug log: off unless asked, confined to its own folder, one line when opened.
#include "Biz/Log.h"
#include "control/AppConfig.h"
#include "control/MessageBridge.h"

#include <gtest/gtest.h>
#include <log4cplus/loggingmacros.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

using namespace Vantor;

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Init(const std::wstring& config)
{
    AppConfig config_;
    MessageBridge bridge(config_, [](const std::wstring&) {});
    bridge.handle(L"{\"name\":\"init\",\"config\":" + config + L"}");
}

}  // namespace

TEST(LogName, KeepsOnlyTheFileNamePart)
{
    EXPECT_EQ(Log::safeFileName(L"C:\\Windows\\win.ini"), L"win.ini");
    EXPECT_EQ(Log::safeFileName(L"..\\..\\..\\boot.ini"), L"boot.ini");
    EXPECT_EQ(Log::safeFileName(L"/etc/passwd"), L"passwd");
    EXPECT_EQ(Log::safeFileName(L"debug.log"), L"debug.log");
    EXPECT_EQ(Log::safeFileName(L"a:b.log"), L"a_b.log");       // no alternate streams or drives
    EXPECT_EQ(Log::safeFileName(L"x\\.."), L"");
    EXPECT_EQ(Log::safeFileName(L"x\\"), L"");
    EXPECT_EQ(Log::safeFileName(L"..."), L"");
    EXPECT_EQ(Log::safeFileName(L"CON"), L"_CON");
    EXPECT_EQ(Log::safeFileName(L"nul.txt"), L"_nul.txt");
    EXPECT_EQ(Log::safeFileName(L"com1"), L"_com1");
    EXPECT_EQ(Log::safeFileName(L"日志.log"), L"日志.log");
    // Superscript digits name the same devices on Windows.
    EXPECT_EQ(Log::safeFileName(L"COM\u00B9.log"), L"_COM\u00B9.log");
    EXPECT_EQ(Log::safeFileName(L"lpt\u00B2"), L"_lpt\u00B2");
    EXPECT_EQ(Log::safeFileName(L"Com\u00B3 .txt"), L"_Com\u00B3 .txt");
    EXPECT_EQ(Log::safeFileName(L"COM\u2074.log"), L"COM\u2074.log");  // ⁴ is no port
    EXPECT_EQ(Log::safeFileName(L"COM\u00B9x.log"), L"COM\u00B9x.log");
}

TEST(Log, StaysOffWithoutDebugOrName)
{
    const std::wstring path = Log::folder() + L"\\off-test.log";
    DeleteFileW(path.c_str());
    Init(LR"({"Debug":false,"LogFile":"off-test.log"})");
    Init(LR"({"LogFile":"off-test.log"})");
    Init(LR"({"Debug":true,"LogFile":""})");
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(Log::instance().open(false, L"off-test.log"), L"");
    EXPECT_FALSE(Exists(path));
}

TEST(Log, OpensInsideItsOwnFolderAndWritesOneLine)
{
    // Outside the log folder, a file the page names must never be touched.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring victim = std::wstring(temp) + L"victim.log";
    {
        std::ofstream out(victim.c_str());
        out << "keep me";
    }
    const std::wstring inside = Log::folder() + L"\\victim.log";
    DeleteFileW(inside.c_str());

    std::wstring json = L"{\"Debug\":true,\"LogFile\":\"";
    for (wchar_t c : victim) {
        if (c == L'\\')
            json += L"\\\\";
        else
            json += c;
    }
    json += L"\"}";
    Init(json);

    EXPECT_EQ(ReadAll(victim), "keep me");
    ASSERT_TRUE(Exists(inside));
    const std::string text = ReadAll(inside);
    // date and time, four blanks, a hyphen, the message, the bracketed source location
    const std::regex line(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d    - 日志创建成功 \[.*Log\.cpp:\d+\]\r?\n$)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;

    // A second open empties the file again and does not write every line twice.
    EXPECT_EQ(Log::instance().open(true, L"victim.log"), inside);
    LOG4CPLUS_INFO(Log::instance().logger(), L"second");
    const std::string again = ReadAll(inside);
    EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), 2) << again;
    DeleteFileW(victim.c_str());
}

TEST(Log, OpensANameBeyondTheAnsiCodePageThroughItsWidePath)
{
    // Hangul, Devanagari and an emoji are in no ANSI code page: a narrowed path loses them.
    const std::wstring name = L"\uB85C\uADF8-\u0932\u0949\u0917-\U0001F4F7.log";
    const std::wstring path = Log::folder() + L"\\" + name;
    DeleteFileW(path.c_str());
    EXPECT_EQ(Log::instance().open(true, name), path);
    ASSERT_TRUE(Exists(path));
    LOG4CPLUS_INFO(Log::instance().logger(), L"\uB85C\uADF8 " << name);
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("\xE6\x97\xA5\xE5\xBF\x97\xE5\x88\x9B\xE5\xBB\xBA\xE6\x88\x90\xE5\x8A\x9F"), std::string::npos) << text;
    EXPECT_NE(text.find("\xEB\xA1\x9C\xEA\xB7\xB8 \xEB\xA1\x9C"), std::string::npos) << text;
    EXPECT_NE(text.find("\xF0\x9F\x93\xB7.log"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    DeleteFileW(path.c_str());
}
