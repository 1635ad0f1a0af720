// The control window's own drops: the built control, registered and hosted in a real OLE
// container (the system's ATL host window), fed hand-made shell drops through the drop
// target the system keeps for the control window. What was added is read back from the
// upload list window: whether it shows, and its scroll range (one column: a row per item).
#include "DropData.h"

#include "../control/TestSupport.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <algorithm>
#include <chrono>

using namespace Vantor;
using namespace std::chrono_literals;

namespace {

constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
// One column of 150-pixel cells: every item is a row of the upload list.
constexpr int kWidth = 200;
constexpr int kHeight = 300;
constexpr int kRow = 151 + 32;   // cell height and row gap of the upload list
constexpr int kMargins = 4 + 4;  // above and below the grid

using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);

class ControlDropTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(TestSupport::RegisterBuiltDll()); }

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        // The container's window class stays for the process: the library is never unloaded.
        static const HMODULE atl = LoadLibraryW(L"atl.dll");
        ASSERT_TRUE(atl);
        const auto init =
            reinterpret_cast<AtlAxWinInitFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
        const auto getControl = reinterpret_cast<AtlAxGetControlFunction>(
            reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
        static const bool ready = init && init();
        ASSERT_TRUE(getControl && ready);
        frame_ = CreateWindowExW(0, L"STATIC", L"control drop test", WS_POPUP | WS_CLIPCHILDREN, 0, 0, kWidth,
                                 kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(frame_);
        container_ = CreateWindowExW(0, L"AtlAxWin", L"Vantor.Fotoloft.1", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                     0, kWidth, kHeight, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(container_);
        ASSERT_EQ(getControl(container_, control_.GetAddressOf()), S_OK);
        ASSERT_TRUE(TestSupport::PumpUntil([&] { return ControlWindow() != nullptr; }, 10s));
        target_ = static_cast<IDropTarget*>(GetPropW(ControlWindow(), L"OleDropTargetInterface"));
        ASSERT_NE(target_, nullptr) << "the control window registers its drop target";
        list_ = FindWindowExW(ControlWindow(), nullptr, L"Vantor.ListView", nullptr);
        ASSERT_TRUE(list_);
    }

    void TearDown() override
    {
        control_.Reset();
        if (frame_)
            DestroyWindow(frame_);
        TestSupport::PumpFor(100ms);
        OleUninitialize();
    }

    // The list's own visibility (the test's page window itself is never shown).
    bool ListShown() const { return (GetWindowLongW(list_, GWL_STYLE) & WS_VISIBLE) != 0; }

    HWND ControlWindow() const { return container_ ? GetWindow(container_, GW_CHILD) : nullptr; }

    // Drops the paths as the shell does (copy, move and link allowed); the effect reported.
    DWORD DropFiles(const std::vector<std::wstring>& paths, DWORD keys = 0)
    {
        const auto data = MakeComObject<DropTest::DropData>();
        data->PutFiles(paths);
        const POINTL point{20, 20};
        DWORD effect = kAll;
        EXPECT_EQ(target_->DragEnter(data.Get(), keys | MK_LBUTTON, point, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY)) << "files are only ever copied";
        effect = kAll;
        EXPECT_EQ(target_->Drop(data.Get(), keys, point, &effect), S_OK);
        return effect;
    }

    // The number of items, from the list's scroll range (valid from two items on).
    int ItemsShown() const
    {
        SCROLLINFO info{sizeof(info), SIF_ALL};
        if (!GetScrollInfo(list_, SB_VERT, &info) || info.nMax == 0)
            return ListShown() ? 1 : 0;
        return (info.nMax + 1 - kMargins) / kRow;  // the range's last position is content - 1
    }

    void PostToControl(const wchar_t* json)
    {
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(control_.As(&dispatch), S_OK);
        LPOLESTR name = const_cast<LPOLESTR>(L"postMessage");
        DISPID id = 0;
        ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        VARIANT argument;
        VariantInit(&argument);
        argument.vt = VT_BSTR;
        argument.bstrVal = SysAllocString(json);
        DISPPARAMS params{&argument, nullptr, 1, 0};
        EXPECT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                   nullptr),
                  S_OK);
        VariantClear(&argument);
    }

    HWND frame_ = nullptr;
    HWND container_ = nullptr;
    ComPtr<IUnknown> control_;
    IDropTarget* target_ = nullptr;
    HWND list_ = nullptr;
    DropTest::TempFolder folder_;
};

}  // namespace

TEST_F(ControlDropTest, AcceptsExactlyTheListsExtensionsAndNeverAPathTwice)
{
    const std::wstring jpg = folder_.MakeFile(L"a.JPG");
    const std::wstring jpeg = folder_.MakeFile(L"b.psd");
    const std::wstring xjpg = folder_.MakeFile(L"c.xjpg");
    const std::wstring pngx = folder_.MakeFile(L"c.pngx");
    const std::wstring imageNamedFolder = folder_.MakeFolder(L"folder.jpg");
    const std::wstring tif = folder_.MakeFile(L"d.tif");
    const std::wstring png = folder_.MakeFile(L"春节 合影.Png");
    const std::wstring gif = folder_.MakeFile(L"e.gif");
    std::wstring deep;
    while (deep.size() < 300)
        deep += L"很长的文件夹名称-folder\\";
    const std::wstring longPath = folder_.MakeFile(deep + L"f.bmp");
    ASSERT_GT(longPath.size(), 300u);

    // Nothing acceptable: no effect, and the empty list stays hidden.
    EXPECT_EQ(DropFiles({jpeg, xjpg, pngx, imageNamedFolder, L"C:\\", L"Z:\\"}), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(ListShown());

    EXPECT_EQ(DropFiles({jpg, jpg}, MK_SHIFT), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(ListShown()) << "the list shows once it holds an item";
    EXPECT_EQ(DropFiles({jpg}), static_cast<DWORD>(DROPEFFECT_NONE)) << "already in the list";
    std::wstring otherSpelling = jpg;
    std::replace(otherSpelling.begin(), otherSpelling.end(), L'\\', L'/');
    CharLowerBuffW(&otherSpelling[0], static_cast<DWORD>(otherSpelling.size()));
    EXPECT_EQ(DropFiles({otherSpelling}), static_cast<DWORD>(DROPEFFECT_NONE)) << "already in the list: " << otherSpelling;

    EXPECT_EQ(DropFiles({tif, png, gif, longPath, jpg}), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(ItemsShown(), 5) << "a.JPG once, then d.tif, the Chinese name, e.gif and the long path";
}

TEST_F(ControlDropTest, TheControlWindowsDropTakesNoFilesLimit)
{
    PostToControl(L"{\"name\":\"init\",\"config\":{\"FilesLimit\":2}}");
    std::vector<std::wstring> paths;
    for (int i = 0; i < 4; ++i)
        paths.push_back(folder_.MakeFile(L"p" + std::to_wstring(i) + L".png"));
    EXPECT_EQ(DropFiles(paths), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(ItemsShown(), 4);

    // The limit is in force for drops onto the list itself: the full list takes nothing.
    auto* listTarget = static_cast<IDropTarget*>(GetPropW(list_, L"OleDropTargetInterface"));
    ASSERT_NE(listTarget, nullptr);
    const auto data = MakeComObject<DropTest::DropData>();
    data->PutFiles({folder_.MakeFile(L"late.png")});
    const POINTL point{20, 100};
    DWORD effect = kAll;
    ASSERT_EQ(listTarget->DragEnter(data.Get(), MK_LBUTTON, point, &effect), S_OK);
    effect = kAll;
    EXPECT_EQ(listTarget->Drop(data.Get(), 0, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(ItemsShown(), 4);
}
