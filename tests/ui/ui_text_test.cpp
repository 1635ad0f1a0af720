// The interface's words: both tables complete, the patterns fillable in both languages, the
// language tag read leniently, and the texts that code composes coming out whole in English.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "control/UploadProgressText.h"
#include "editor/ImageEditForm.h"
#include "picker/FileAddDialog.h"
#include "picker/ProgressBandText.h"
#include "picker/UploadFailureText.h"
#include "ui/Language.h"
#include "ui/UiText.h"

using namespace Vantor::UI;

namespace {

// Chinese, Japanese and Korean characters and their full-width punctuation.
bool HasCjk(const std::wstring& text)
{
    for (const wchar_t c : text)
        if ((c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
            (c >= 0x3000 && c <= 0x303F) || c == 0x201C || c == 0x201D)
            return true;
    return false;
}

std::set<wchar_t> Placeholders(const std::wstring& pattern)
{
    std::set<wchar_t> found;
    for (size_t i = 0; i + 1 < pattern.size(); ++i)
        if (pattern[i] == L'%' && pattern[i + 1] >= L'1' && pattern[i + 1] <= L'9')
            found.insert(pattern[i + 1]);
    return found;
}

}  // namespace

TEST(UiText, BothTablesHoldEveryTextAndEnglishHasNoChinese)
{
    std::set<std::wstring> english;
    for (int i = 0; i < static_cast<int>(TextId::Count); ++i) {
        const auto id = static_cast<TextId>(i);
        const wchar_t* zh = ChineseText(id);
        const wchar_t* en = EnglishText(id);
        ASSERT_NE(zh, nullptr) << "Chinese text " << i;
        ASSERT_NE(en, nullptr) << "English text " << i;
        EXPECT_STRNE(zh, L"") << i;
        EXPECT_STRNE(en, L"") << i;
        EXPECT_FALSE(HasCjk(en)) << "English text " << i;
        // A pattern takes the same numbers in both languages: a sentence never drops one.
        EXPECT_EQ(Placeholders(zh), Placeholders(en)) << "text " << i;
        EXPECT_EQ(std::wstring(Text(Language::En, id)), en);
        EXPECT_EQ(std::wstring(Text(Language::ZhCN, id)), zh);
        english.insert(en);
    }
    EXPECT_STREQ(Text(Language::En, TextId::Count), L"") << "not a text: never null either";
    // The buttons the issue names, as the images spell them.
    EXPECT_STREQ(Text(Language::En, TextId::AddPhotos), L"Add photos");
    EXPECT_STREQ(Text(Language::En, TextId::Upload), L"Upload");
    EXPECT_STREQ(Text(Language::En, TextId::CancelUpload), L"Cancel");
}

TEST(UiText, PatternsFillTheirPlacesInOrderAndKeepPercentSigns)
{
    EXPECT_EQ(FormatText(Language::En, TextId::PickedCountElsewhere, {L"7", L"3", L"12"}),
              L"Selected: 7 photos (this folder 3/12)");
    EXPECT_EQ(FormatText(Language::ZhCN, TextId::PickedCountElsewhere, {L"7", L"3", L"12"}),
              L"当前选择：7 张照片（本文件夹 3/12）");
    // A missing argument leaves its place empty rather than printing "%3".
    EXPECT_EQ(FormatText(Language::En, TextId::PickedCount, {L"1"}), L"Selected: 1/ photos");
    // Texts without places come back as they are, whatever is passed.
    EXPECT_EQ(FormatText(Language::En, TextId::Hint, {L"x"}), Text(Language::En, TextId::Hint));
    // "%" followed by anything but a digit or "%" stays: a share such as "45%" is not a place.
    EXPECT_EQ(FormatText(Language::En, TextId::ServerSaid, {L"45% done, 100%% sure"}), L": 45% done, 100%% sure");
}

TEST(UiText, LanguageTagsAreReadLeniently)
{
    for (const char* tag : {"en", "EN", "En", "en-US", "en_GB", "en-gb"})
        EXPECT_EQ(ParseLanguage(tag), Language::En) << tag;
    for (const char* tag : {"", "zh-CN", "zh", "e", "eng", "enx", "fr", " en", "de-en"})
        EXPECT_EQ(ParseLanguage(tag), Language::ZhCN) << tag;
}

TEST(UiText, ComposedTextsComeOutWholeInEnglish)
{
    using Vantor::FailureReason;
    Vantor::UploadFailure refused;
    refused.reason = FailureReason::HttpStatus;
    refused.status = 503;
    refused.reply = R"({"msg":"磁盘已满"})";
    EXPECT_EQ(Vantor::FailureBandText(refused, Language::En), L"Failed: refused 503");
    // The server's own words stay as it wrote them; the sentence around them is English.
    EXPECT_EQ(Vantor::FailureHoverText(refused, Language::En),
              L"Upload failed: the server refused this file (HTTP 503): 磁盘已满");
    EXPECT_EQ(Vantor::FailureHoverText(refused), L"上传失败：服务器拒绝了这个文件（HTTP 503）：磁盘已满");
    for (int reason = 0; reason <= static_cast<int>(FailureReason::Stopped); ++reason) {
        Vantor::UploadFailure failure;
        failure.reason = static_cast<FailureReason>(reason);
        failure.status = 404;
        EXPECT_FALSE(HasCjk(Vantor::FailureBandText(failure, Language::En))) << reason;
        EXPECT_FALSE(HasCjk(Vantor::FailureHoverText(failure, Language::En))) << reason;
        EXPECT_NE(Vantor::FailureBandText(failure, Language::En), Vantor::FailureBandText(failure)) << reason;
    }
    EXPECT_EQ(Vantor::RetryingBandText(Language::En), L"Waiting to retry");

    Vantor::UploadStatus waiting;
    waiting.phase = Vantor::UploadPhase::Waiting;
    EXPECT_EQ(Vantor::ProgressBandText(waiting, Language::En), L"Waiting");
    Vantor::UploadStatus sending;
    sending.phase = Vantor::UploadPhase::Sending;
    sending.size = 200;
    sending.sent = 90;
    EXPECT_EQ(Vantor::ProgressBandText(sending, Language::En), L"45%");

    Vantor::TotalProgress progress;
    progress.filesEnded = 3;
    progress.files = 10;
    progress.bytesSent = 2 << 20;
    progress.bytesTotal = 5 << 20;
    progress.bytesPerSecond = 1 << 20;
    EXPECT_EQ(Vantor::FormatTotalProgress(progress, Language::En),
              L"Uploading 3/10 photos, 2.0 MB/5.0 MB, 1.0 MB/s, 0:03 left");

    EXPECT_EQ(Vantor::PickedSizeText(0, Language::En), L"Total 0 B");
    EXPECT_EQ(Vantor::PickedCountText(3, 12, 0, Language::En), L"Selected: 3/12 photos");
    const std::wstring full = Vantor::LimitMessage(true, 300, 30, 20, Language::En);
    EXPECT_NE(full.find(L"at most 300 photos"), std::wstring::npos) << full;
    EXPECT_NE(full.find(L"30 were added"), std::wstring::npos) << full;
    EXPECT_NE(full.find(L"20 were left out"), std::wstring::npos) << full;
    EXPECT_NE(Vantor::LimitMessage(false, 100, 100, 50, Language::En), full);
    const std::wstring large = Vantor::ImageEditForm::TooLargeText(20000, 15000, Language::En);
    EXPECT_NE(large.find(L"20000 × 15000"), std::wstring::npos) << large;
    EXPECT_NE(large.find(L"858 MB"), std::wstring::npos) << large;
    EXPECT_FALSE(HasCjk(large));
}
