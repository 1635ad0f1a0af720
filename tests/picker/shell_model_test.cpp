// The shell folder model under Wine, run in the Chinese locale: the desktop's folders, the
// computer folder found by its ID list whatever its name, the drives below it, a folder tree
// with Chinese names reached one level at a time, folders without a file-system path, and the
// folder-path comparisons the dialog reopens the last folder with.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "picker/DesktopFolder.h"
#include "picker/FolderPath.h"
#include "picker/SystemIconList.h"
#include "picture_files.h"

using Vantor::Shell::DesktopFolder;
using Vantor::Shell::Item;

namespace {

class ShellModel : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

    Item* Computer()
    {
        std::vector<Item*> children;
        folders_.EnumDesktopChildren(children);
        Item* found = nullptr;
        for (Item* child : children)
            if (folders_.IsComputer(*child)) {
                EXPECT_EQ(found, nullptr) << "two computer folders";
                found = child;
            }
        return found;
    }

    // Walks from the computer folder down to the folder, one enumeration per level.
    Item* Reach(const std::wstring& path)
    {
        Item* at = Computer();
        while (at && !Vantor::IsSameFolder(at->Path(), path)) {
            std::vector<Item*> children;
            folders_.EnumChildren(*at, children);
            Item* next = nullptr;
            for (Item* child : children)
                if (child->HasPath() && Vantor::IsFolderWithin(path, child->Path()))
                    next = child;
            at = next;
        }
        return at;
    }

    static std::vector<std::wstring> Names(const std::vector<Item*>& items)
    {
        std::vector<std::wstring> names;
        for (const Item* item : items)
            names.push_back(item->DisplayName());
        return names;
    }

    DesktopFolder folders_;
};

}  // namespace

TEST_F(ShellModel, TheDesktopHoldsTheComputerFoundByItsIdListNotByItsLocalName)
{
    // The root is the empty ID list.
    ASSERT_NE(folders_.Root().IdList(), nullptr);
    EXPECT_TRUE(ILIsEmpty(folders_.Root().IdList()));
    EXPECT_FALSE(folders_.IsComputer(folders_.Root()));

    std::vector<Item*> children;
    folders_.EnumDesktopChildren(children);
    ASSERT_GE(children.size(), 2u);
    const Item* computer = Computer();
    ASSERT_NE(computer, nullptr);
    // A virtual folder: no path. Its name is the locale's, which no code may rely on.
    EXPECT_FALSE(computer->HasPath());
    EXPECT_FALSE(computer->DisplayName().empty());
    EXPECT_EQ(computer->DisplayName(), L"\u6211\u7684\u7535\u8111");  // 我的电脑 in this locale
    // Some of the desktop's folders are real folders.
    EXPECT_TRUE(std::any_of(children.begin(), children.end(), [](const Item* item) { return item->HasPath(); }));
    // Every item keeps its own absolute ID list.
    for (const Item* child : children) {
        ASSERT_NE(child->IdList(), nullptr);
        EXPECT_FALSE(ILIsEmpty(child->IdList()));
    }
}

TEST_F(ShellModel, TheComputerHoldsTheDrivesAndFoldersWithoutPathsListNothingWithoutFailing)
{
    Item* computer = Computer();
    ASSERT_NE(computer, nullptr);
    std::vector<Item*> drives;
    folders_.EnumChildren(*computer, drives);
    std::vector<std::wstring> paths;
    for (const Item* drive : drives)
        paths.push_back(drive->Path());
    EXPECT_NE(std::find(paths.begin(), paths.end(), L"C:\\"), paths.end());
    EXPECT_NE(std::find(paths.begin(), paths.end(), L"Z:\\"), paths.end());
    // The Control Panel (and any other virtual folder there) has no path; looking inside
    // gives whatever the shell has and no failure.
    for (Item* drive : drives)
        if (!drive->HasPath()) {
            std::vector<Item*> inside;
            folders_.EnumChildren(*drive, inside);
            for (const Item* item : inside)
                EXPECT_NE(item, nullptr);
        }
    // An item made from a list that names nothing keeps empty names.
    std::vector<Item*> none;
    const Item blank(nullptr);
    folders_.EnumChildren(blank, none);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(blank.DisplayName().empty());
}

TEST_F(ShellModel, FoldersWithChineseNamesAreReachedOneLevelAtATimeWithoutFiles)
{
    testpics::TempFolder temp;
    const std::wstring top = temp.file(L"\u7167\u7247");  // 照片
    ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr));
    const std::wstring holiday = top + L"\\\u5047\u671F 2019";  // 假期 2019
    const std::wstring family = top + L"\\\u5BB6\u4EBA";        // 家人
    ASSERT_TRUE(CreateDirectoryW(holiday.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(family.c_str(), nullptr));
    ASSERT_TRUE(testpics::WriteBytes(top + L"\\a.jpg", {1, 2, 3}));

    Item* folder = Reach(top);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->DisplayName(), L"\u7167\u7247");
    std::vector<Item*> children;
    folders_.EnumChildren(*folder, children);
    auto names = Names(children);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"\u5047\u671F 2019", L"\u5BB6\u4EBA"}));
    for (const Item* child : children)
        EXPECT_TRUE(Vantor::IsSameFolder(child->Path(), child->DisplayName() == L"\u5BB6\u4EBA" ? family : holiday))
            << child->Path();
    // A second enumeration makes new items; the first ones stay valid.
    std::vector<Item*> again;
    folders_.EnumChildren(*folder, again);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_NE(again[0], children[0]);
    EXPECT_FALSE(children[0]->Path().empty());
}

TEST(SystemIconList, IsTheSystemsOneListForEveryCaller)
{
    const Vantor::Shell::SystemIconList first, second;
    ASSERT_NE(first.Handle(), nullptr);
    EXPECT_EQ(first.Handle(), second.Handle());
    EXPECT_GT(ImageList_GetImageCount(first.Handle()), 0);
}

TEST(FolderPath, ComparesWholeComponentsIgnoringCase)
{
    using namespace Vantor;
    EXPECT_TRUE(IsSameFolder(L"d:\\photos", L"D:\\Photos"));
    EXPECT_TRUE(IsSameFolder(L"D:\\Photos\\", L"d:\\PHOTOS"));
    EXPECT_TRUE(IsSameFolder(L"D:\\", L"d:\\"));
    EXPECT_FALSE(IsSameFolder(L"D:\\Photos2", L"D:\\Photos"));
    EXPECT_FALSE(IsSameFolder(L"", L""));

    EXPECT_TRUE(IsFolderWithin(L"d:\\photos\\2019", L"D:\\Photos"));
    EXPECT_TRUE(IsFolderWithin(L"D:\\Photos\\2019", L"D:\\"));
    EXPECT_TRUE(IsFolderWithin(L"D:\\Photos", L"d:\\photos\\"));
    EXPECT_FALSE(IsFolderWithin(L"D:\\Photos2", L"D:\\Photos"));
    EXPECT_FALSE(IsFolderWithin(L"D:\\Photos\\2019", L"D:\\Photos\\2"));
    EXPECT_FALSE(IsFolderWithin(L"D:\\Photos", L"D:\\Photos\\2019"));
    EXPECT_FALSE(IsFolderWithin(L"E:\\Photos", L"D:\\"));

    EXPECT_EQ(FolderRoot(L"d:\\photos\\2019"), L"d:\\");
    EXPECT_EQ(FolderRoot(L"\\\\server\\share\\photos"), L"\\\\server\\share");
    EXPECT_EQ(FolderRoot(L"C:\\" + std::wstring(300, L'a')), L"");
}
