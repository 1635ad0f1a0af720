// Adding files: which paths the list takes, the limits, and what the user is told.
#include "ListFixture.h"

#include "Biz/ImageData.h"

using namespace listtest;
using Vantor::AddLimits;
using Vantor::IsAcceptedImageExtension;

TEST(ListAcceptRule, TakesEveryDecodableKindInAnyCase)
{
    for (const wchar_t* good : {L"a.gif", L"a.PNG", L"a.Bmp", L"a.JPG", L"a.tif", L"C:\\x.y\\a.jpg", L"a.jpeg",
                                L"A.JPEG", L"a.jpe", L"a.JFIF", L"a.tiff"})
        EXPECT_TRUE(IsAcceptedImageExtension(good)) << good;
    for (const wchar_t* bad : {L"a.xjpg", L"ajpg", L"a.jpg.txt", L"a.", L"a", L"C:\\x.jpg\\a",
                               L".jpgx", L"a.jp", L"a.jpegx", L"a.tifff"})
        EXPECT_FALSE(IsAcceptedImageExtension(bad)) << bad;
    EXPECT_FALSE(IsAcceptedImageExtension(std::wstring(L"a.jpg\0.exe", 10)));
}

TEST_F(ListFixture, AddFilesSkipsFoldersRootsUnknownExtensionsDuplicatesAndMissingFiles)
{
    const std::wstring a = Picture(L"a.JPG");
    const std::wstring b = Picture(L"b.psd");
    const std::wstring c = Picture(L"\u7167\u7247.png");  // a Chinese name
    const std::wstring dir = folder_.file(L"folder.jpg");
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    int dropped = 0;
    list_->FilesDropped.connect([&] { ++dropped; });

    const auto result = list_->AddFiles({dir, L"C:\\", b, a, a, folder_.file(L"missing.png"), c});
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(result.leftOut, 0);
    EXPECT_EQ(result.otherKind, 1);  // the folder, the root and the missing file are not counted
    EXPECT_EQ(dropped, 1);
    ASSERT_EQ(list_->Count(), 2);
    EXPECT_TRUE(list_->ContainsPath(a));
    EXPECT_TRUE(list_->ContainsPath(c));
    // A path already in the list is not added again.
    EXPECT_EQ(list_->AddFiles({c}).added, 0);
    EXPECT_EQ(list_->Count(), 2);
    // Items come with names and sizes at once; the ids are new and never reused.
    const auto record = list_->Items()[1]->Record();
    EXPECT_EQ(record->name(), L"\u7167\u7247.png");
    EXPECT_GT(record->fileSize(), 0u);
    EXPECT_EQ(Order(), (std::vector<int32_t>{0, 1}));
    list_->RemoveItem(1);
    list_->AddFiles({c});
    EXPECT_EQ(Order(), (std::vector<int32_t>{0, 2}));
    RemoveDirectoryW(dir.c_str());
}

TEST_F(ListFixture, FilesOfKindsNotTakenAreCountedAndReported)
{
    const std::wstring jpeg = Picture(L"camera.JPEG");
    const std::wstring png = Picture(L"screen.png");
    const std::wstring text = Picture(L"notes.txt");
    std::vector<int> reports;
    list_->OtherKindsRefused.connect([&](int refused) { reports.push_back(refused); });

    AddLimits onlyPng;
    onlyPng.kinds = Vantor::PictureKinds::FromList({L".png"});
    const auto result = list_->AddFiles({jpeg, png, text}, onlyPng);
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.otherKind, 2);
    EXPECT_EQ(reports, (std::vector<int>{2}));
    // By default a camera's ".JPEG" is a picture; only the text file is refused.
    EXPECT_EQ(list_->AddFiles({jpeg, text}).added, 1);
    EXPECT_EQ(reports, (std::vector<int>{2, 1}));
    EXPECT_TRUE(list_->ContainsPath(jpeg));
}

TEST_F(ListFixture, TheFilesLimitIsTestedBeforeEachAdditionAndReportedOnce)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < 10; ++i)
        paths.push_back(Picture(L"f" + std::to_wstring(i) + L".png"));
    std::vector<int> reports;
    list_->AddLimitReached.connect([&](int leftOut) { reports.push_back(leftOut); });
    list_->SetAddLimits(AddLimits{3, 0});
    list_->AddFiles({paths[0]});
    ASSERT_EQ(list_->Count(), 1);
    const auto result = list_->AddFiles(paths);  // paths[0] is a duplicate
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(result.leftOut, 7);
    EXPECT_EQ(list_->Count(), 3);
    EXPECT_EQ(reports, (std::vector<int>{7}));
    // A full list takes nothing more, not even the first file.
    EXPECT_EQ(list_->AddFiles({Picture(L"extra.png")}).added, 0);
    EXPECT_EQ(list_->Count(), 3);
    EXPECT_EQ(reports.size(), 2u);
    // Explicit limits (the page's adds) take none.
    EXPECT_EQ(list_->AddFiles({Picture(L"page.png")}, AddLimits{}).added, 1);
}

TEST_F(ListFixture, TheSizeLimitSkipsLargerFilesOnly)
{
    const std::wstring small = Picture(L"small.bmp", 10, 10);
    const std::wstring large = Picture(L"large.bmp", 200, 200);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(small.c_str(), GetFileExInfoStandard, &data));
    list_->SetAddLimits(AddLimits{0, static_cast<int64_t>(data.nFileSizeLow)});
    EXPECT_EQ(list_->AddFiles({large, small}).added, 1);
    EXPECT_TRUE(list_->ContainsPath(small));
}

TEST_F(ListFixture, AFileThatIsNoPictureGivesAnItemWithoutThumbnailThatCannotTurn)
{
    const std::wstring fake = folder_.file(L"fake.jpg");
    ASSERT_TRUE(testpics::WriteBytes(fake, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}));
    list_->AddFiles({fake});
    ASSERT_TRUE(WaitForThumbnails());
    auto* item = list_->Items()[0].get();
    const auto record = item->Record();
    EXPECT_EQ(record->thumbnailState(), Vantor::ImageData::ThumbnailState::Failed);
    EXPECT_FALSE(record->hasPicture());
    item->RotateImageLeft();
    EXPECT_EQ(record->quarterTurns(), 0);
    // It still paints (frame and caption only).
    RedrawWindow(list_->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

TEST_F(ListFixture, DecodingLeavesTheUsersFileFreeToRenameAndDelete)
{
    const std::wstring path = Picture(L"locked.png", 300, 200);
    list_->AddFiles({path});
    ASSERT_TRUE(WaitForThumbnails());
    ASSERT_TRUE(list_->Items()[0]->Record()->hasPicture());
    const std::wstring moved = folder_.file(L"moved.png");
    EXPECT_TRUE(MoveFileW(path.c_str(), moved.c_str()));
    EXPECT_TRUE(DeleteFileW(moved.c_str()));
}

TEST_F(ListFixture, APictureAddedAgainUnderAnotherPathIsTakenOutByItsContent)
{
    // 300 x 300 BMPs (270 KB): a copy elsewhere; one differing from the first in a middle
    // byte only (same size, same ends: only the whole comparison tells them apart); another
    // picture of the same size.
    const std::wstring first = Picture(L"first.bmp", 300, 300);
    std::vector<uint8_t> bytes = testpics::ReadBytes(first);
    ASSERT_GT(bytes.size(), 2u * 64 * 1024 + 10);
    const std::wstring sub = folder_.file(L"backup");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    const std::wstring copy = sub + L"\\first.bmp";
    ASSERT_TRUE(testpics::WriteBytes(copy, bytes));
    std::vector<uint8_t> middle = bytes;
    middle[middle.size() / 2] ^= 0xFF;
    const std::wstring changedInside = folder_.file(L"inside.bmp");
    ASSERT_TRUE(testpics::WriteBytes(changedInside, middle));
    const std::wstring other = folder_.file(L"other.bmp");
    ASSERT_TRUE(testpics::WritePicture(other, Plain(300, 300, 200), L"bmp"));
    ASSERT_EQ(testpics::ReadBytes(other).size(), bytes.size());

    std::vector<int> skipped;
    list_->DuplicatesSkipped.connect([&](int n) { skipped.push_back(n); });
    list_->SetSkipDuplicates(true);
    EXPECT_EQ(list_->AddFiles({first, copy, changedInside, other}).added, 4);
    ASSERT_TRUE(PumpUntil([&] { return !skipped.empty(); }));
    Pump();
    EXPECT_EQ(skipped, std::vector<int>{1}) << "told once, with the count";
    EXPECT_EQ(list_->Count(), 3);
    EXPECT_TRUE(list_->ContainsPath(first));
    EXPECT_FALSE(list_->ContainsPath(copy));
    EXPECT_TRUE(list_->ContainsPath(changedInside));
    EXPECT_TRUE(list_->ContainsPath(other));

    // A later addition is compared with what the list holds.
    const std::wstring otherCopy = sub + L"\\other.bmp";
    ASSERT_TRUE(testpics::WriteBytes(otherCopy, testpics::ReadBytes(other)));
    list_->AddFiles({otherCopy});
    ASSERT_TRUE(PumpUntil([&] { return skipped.size() == 2; }));
    EXPECT_EQ(skipped.back(), 1);
    EXPECT_EQ(list_->Count(), 3);

    // Turned off, a copy stays.
    list_->SetSkipDuplicates(false);
    EXPECT_EQ(list_->AddFiles({otherCopy}).added, 1);
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(list_->Count(), 4);
    EXPECT_EQ(skipped.size(), 2u);
}
