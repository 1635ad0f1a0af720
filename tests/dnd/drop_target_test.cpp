// The drop target base on a real window registered with OLE, called through the interface
// the system keeps for the window; the drop source; a real DoDragDrop.
#include "DropData.h"

#include "platform/CIDropTargetImpl.h"
#include "platform/ClipFormats.h"
#include "platform/DroppedFiles.h"
#include "platform/OleDrager.h"
#include "platform/CustomDataObject.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <chrono>
#include <memory>
#include <stdexcept>

using namespace Vantor;

namespace {

constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
const wchar_t kCustomName[] = L"Fotoloft.Test.DropTarget";

class OleScope {
public:
    OleScope() { ok_ = SUCCEEDED(OleInitialize(nullptr)); }
    ~OleScope()
    {
        if (ok_)
            OleUninitialize();
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// A plain window of a class of its own (a STATIC would be transparent to the drag loop's
// hit test).
HWND MakeWindow()
{
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Fotoloft.Test.DropWindow";
        return RegisterClassW(&wc);
    }();
    if (!atom)
        return nullptr;
    return CreateWindowExW(0, L"Fotoloft.Test.DropWindow", L"drop test", WS_POPUP, 100, 100, 200, 150, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Records what reaches each handler and answers what the test asks.
class RecordingTarget : public CIDropTargetImpl {
public:
    std::vector<std::vector<std::wstring>> fileDrops;
    std::vector<DWORD> customEffects;
    DWORD answer = DROPEFFECT_COPY;
    bool welcomeCustom = true;
    bool throwInHandler = false;

protected:
    DWORD OnDropFiles(HDROP drop) override
    {
        if (throwInHandler)
            throw std::runtime_error("handler failed");
        fileDrops.push_back(DroppedFilePaths(drop));
        return answer;
    }
    DWORD OnDropCustom(IDataObject*, DWORD, POINTL, DWORD effect) override
    {
        customEffects.push_back(effect);
        return answer == DROPEFFECT_NONE ? DROPEFFECT_NONE : effect;
    }
    bool AcceptsCustom(IDataObject*) override { return welcomeCustom; }
};

class DropTargetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ole.ok());
        window = MakeWindow();
        ASSERT_TRUE(window);
        target = std::make_unique<RecordingTarget>();
        ASSERT_EQ(target->RegisterDropTarget(window), S_OK);
        registered = static_cast<IDropTarget*>(GetPropW(window, L"OleDropTargetInterface"));
        ASSERT_NE(registered, nullptr) << "the system keeps the target for the window";
        ASSERT_TRUE(ClipFormats::Instance().Register(kCustomName));
    }
    void TearDown() override
    {
        target.reset();
        if (window)
            DestroyWindow(window);
    }

    // DragEnter and Drop as the system sends them; returns Drop's result, effects out.
    HRESULT DragAndDrop(IDataObject* data, DWORD keys, DWORD allowed, DWORD& entered, DWORD& dropped)
    {
        const POINTL point{150, 150};
        entered = allowed;
        EXPECT_EQ(registered->DragEnter(data, keys | MK_LBUTTON, point, &entered), S_OK);
        DWORD over = allowed;
        EXPECT_EQ(registered->DragOver(keys | MK_LBUTTON, point, &over), S_OK);
        EXPECT_EQ(over, entered) << "DragOver answers as DragEnter did";
        dropped = allowed;
        return registered->Drop(data, keys, point, &dropped);
    }

    ComPtr<DropTest::DropData> Files(const std::vector<std::wstring>& paths)
    {
        const auto data = MakeComObject<DropTest::DropData>();
        data->PutFiles(paths);
        return data;
    }
    ComPtr<DropTest::DropData> Custom()
    {
        const auto data = MakeComObject<DropTest::DropData>();
        data->Put(ClipFormats::Instance().Lookup(kCustomName).cfFormat, {7, 0, 0, 0});
        return data;
    }

    OleScope ole;
    HWND window = nullptr;
    std::unique_ptr<RecordingTarget> target;
    IDropTarget* registered = nullptr;
};

}  // namespace

TEST_F(DropTargetTest, FilesAreAlwaysACopyAndDropReportsWhatTheOwnerDid)
{
    const std::vector<std::wstring> paths{L"C:\\a.jpg", L"C:\\照片\\b.png"};
    // Whatever the keys, a source that allows copy and move is told copy: a move would let
    // the shell delete the user's originals.
    for (DWORD keys : {DWORD{0}, DWORD{MK_SHIFT}, DWORD{MK_CONTROL}, DWORD{MK_SHIFT | MK_CONTROL}}) {
        DWORD entered = 0, dropped = 0;
        EXPECT_EQ(DragAndDrop(Files(paths).Get(), keys, kAll, entered, dropped), S_OK);
        EXPECT_EQ(entered, static_cast<DWORD>(DROPEFFECT_COPY)) << "keys " << keys;
        EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_COPY)) << "keys " << keys;
    }
    ASSERT_EQ(target->fileDrops.size(), 4u);
    EXPECT_EQ(target->fileDrops[0], paths);

    // The owner took nothing (all skipped): the drop says so.
    target->answer = DROPEFFECT_NONE;
    DWORD entered = 0, dropped = 0;
    EXPECT_EQ(DragAndDrop(Files(paths).Get(), 0, kAll, entered, dropped), S_OK);
    EXPECT_EQ(entered, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_NONE));

    // An owner that answers move still reports no more than a copy.
    target->answer = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    EXPECT_EQ(DragAndDrop(Files(paths).Get(), 0, kAll, entered, dropped), S_OK);
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_COPY));

    // A source that only allows a move is refused.
    const size_t before = target->fileDrops.size();
    EXPECT_EQ(DragAndDrop(Files(paths).Get(), 0, DROPEFFECT_MOVE, entered, dropped), S_FALSE);
    EXPECT_EQ(entered, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(target->fileDrops.size(), before);
}

TEST_F(DropTargetTest, RegisteredFormatsFollowTheKeyRule)
{
    struct Case {
        DWORD keys, allowed, expected;
    };
    const Case cases[] = {
        {0, DROPEFFECT_COPY | DROPEFFECT_MOVE, DROPEFFECT_MOVE},
        {MK_CONTROL, DROPEFFECT_COPY | DROPEFFECT_MOVE, DROPEFFECT_COPY},
        {MK_SHIFT, DROPEFFECT_COPY | DROPEFFECT_MOVE, DROPEFFECT_MOVE},
        {MK_SHIFT, DROPEFFECT_COPY, DROPEFFECT_COPY},
        {0, DROPEFFECT_COPY, DROPEFFECT_COPY},
        {MK_CONTROL, DROPEFFECT_MOVE, DROPEFFECT_MOVE},
        {0, DROPEFFECT_LINK, DROPEFFECT_NONE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CIDropTargetImpl::ChooseEffect(c.keys, c.allowed), c.expected);
        DWORD entered = 0, dropped = 0;
        DragAndDrop(Custom().Get(), c.keys, c.allowed, entered, dropped);
        EXPECT_EQ(entered, c.expected) << "keys " << c.keys << " allowed " << c.allowed;
        EXPECT_EQ(dropped, c.expected) << "keys " << c.keys << " allowed " << c.allowed;
    }
    EXPECT_EQ(target->customEffects.size(), std::size(cases));
    EXPECT_TRUE(target->fileDrops.empty());

    // Data the owner does not welcome is refused when it enters.
    target->welcomeCustom = false;
    const size_t before = target->customEffects.size();
    DWORD entered = 0, dropped = 0;
    EXPECT_EQ(DragAndDrop(Custom().Get(), 0, DROPEFFECT_COPY, entered, dropped), S_FALSE);
    EXPECT_EQ(entered, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(target->customEffects.size(), before);
}

TEST_F(DropTargetTest, UnsupportedDataAndADisabledTargetCallNoHandler)
{
    const auto text = MakeComObject<DropTest::DropData>();
    text->Put(CF_UNICODETEXT, {'a', 0, 0, 0});
    DWORD entered = 0, dropped = 0;
    EXPECT_EQ(DragAndDrop(text.Get(), 0, kAll, entered, dropped), S_FALSE);
    EXPECT_EQ(entered, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(text->getDataCalls(), 0);

    target->SetEnabled(false);
    const auto files = Files({L"C:\\a.jpg"});
    EXPECT_EQ(DragAndDrop(files.Get(), 0, kAll, entered, dropped), S_FALSE);
    EXPECT_EQ(entered, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(files->getDataCalls(), 0);
    EXPECT_TRUE(target->fileDrops.empty());
    EXPECT_TRUE(target->customEffects.empty());

    // A handler that fails leaves the drop with no effect, and the target keeps working.
    target->SetEnabled(true);
    target->throwInHandler = true;
    EXPECT_EQ(DragAndDrop(Files({L"C:\\a.jpg"}).Get(), 0, kAll, entered, dropped), S_OK);
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    target->throwInHandler = false;
    EXPECT_EQ(DragAndDrop(Files({L"C:\\a.jpg"}).Get(), 0, kAll, entered, dropped), S_OK);
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_COPY));
}

TEST_F(DropTargetTest, AReferenceKeptAfterRevokeNeverReachesAGoneOwner)
{
    // The system (or a drag loop) may still hold the target after the window revoked it.
    ComPtr<IDropTarget> kept(registered);
    target->RevokeDropTarget();
    EXPECT_EQ(GetPropW(window, L"OleDropTargetInterface"), nullptr);
    EXPECT_EQ(target->RegisterDropTarget(window), S_OK) << "a window can register again";
    target.reset();  // the owner goes (and revokes)
    EXPECT_EQ(GetPropW(window, L"OleDropTargetInterface"), nullptr);
    DestroyWindow(window);
    window = nullptr;

    const auto files = Files({L"C:\\a.jpg"});
    const POINTL point{0, 0};
    DWORD effect = kAll;
    EXPECT_EQ(kept->DragEnter(files.Get(), MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = kAll;
    EXPECT_EQ(kept->DragOver(MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = kAll;
    EXPECT_EQ(kept->Drop(files.Get(), 0, point, &effect), S_FALSE);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(files->getDataCalls(), 0);
    EXPECT_EQ(kept->DragLeave(), S_OK);
}

// A real drag loop: with the button up, DoDragDrop drops at once on the window under the
// cursor, so the prepared data reaches that window's target and the effect comes back.
TEST_F(DropTargetTest, ARunDragDeliversThePreparedDataAndAllowsOnlyCopy)
{
    OleDrager drager;
    EXPECT_FALSE(drager.IsArmed());
    EXPECT_EQ(drager.Run(), S_FALSE) << "nothing prepared";

    const ComPtr<CustomDataObject> data = MakeComObject<CustomDataObject>();
    const char bytes[] = {7, 0, 0, 0};
    ASSERT_EQ(data->SetBytes(ClipFormats::Instance().Lookup(kCustomName).cfFormat, bytes, sizeof(bytes)), S_OK);
    drager.Prepare(data);
    EXPECT_TRUE(drager.IsArmed());
    drager.Cancel();
    EXPECT_FALSE(drager.IsArmed());
    EXPECT_EQ(drager.Run(), S_FALSE) << "a cancelled drag does not run";

    ShowWindow(window, SW_SHOWNA);
    ASSERT_TRUE(SetCursorPos(200, 175)) << "the middle of the test window";
    drager.Prepare(data);
    const HRESULT hr = drager.Run();
    EXPECT_FALSE(drager.IsArmed());
    ASSERT_EQ(hr, DRAGDROP_S_DROP);
    ASSERT_EQ(target->customEffects.size(), 1u);
    EXPECT_EQ(target->customEffects[0], static_cast<DWORD>(DROPEFFECT_COPY)) << "the only effect allowed";
    EXPECT_EQ(drager.LastEffect(), static_cast<DWORD>(DROPEFFECT_COPY));
}
