// The data object, the clipboard-format table, drop paths and the item-drag tag: each
// checked against data built by the test itself.
#include "DropData.h"

#include "picker/ItemDragData.h"
#include "platform/ClipFormats.h"
#include "platform/CustomDataObject.h"
#include "platform/DroppedFiles.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Vantor;

namespace {

std::vector<char> BlockBytes(HGLOBAL block)
{
    std::vector<char> bytes(GlobalSize(block));
    if (const void* data = GlobalLock(block)) {
        std::memcpy(bytes.data(), data, bytes.size());
        GlobalUnlock(block);
    }
    return bytes;
}

HGLOBAL HdropBlock(const std::vector<std::wstring>& paths)
{
    const std::vector<char> bytes = DropTest::HdropBytes(paths);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

constexpr CLIPFORMAT kFormat = 0xC123;

}  // namespace

TEST(CustomDataObject, ServesCopiesOfItsBytesOnlyForItsFormatAspectAndGlobalMemory)
{
    const ComPtr<CustomDataObject> data = MakeComObject<CustomDataObject>();
    FORMATETC asked{kFormat, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&asked), DV_E_FORMATETC) << "nothing stored yet";

    const char stored[] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(data->SetBytes(kFormat, stored, sizeof(stored)), S_OK);

    EXPECT_EQ(data->QueryGetData(&asked), S_OK);
    FORMATETC wider = asked;
    wider.tymed = TYMED_HGLOBAL | TYMED_ISTREAM | TYMED_GDI;
    EXPECT_EQ(data->QueryGetData(&wider), S_OK) << "medium kinds that include global memory";
    FORMATETC stream = asked;
    stream.tymed = TYMED_ISTREAM;
    FORMATETC icon = asked;
    icon.dwAspect = DVASPECT_ICON;
    FORMATETC other = asked;
    other.cfFormat = CF_HDROP;
    for (FORMATETC* refused : {&stream, &icon, &other}) {
        EXPECT_EQ(data->QueryGetData(refused), DV_E_FORMATETC);
        STGMEDIUM medium{};
        EXPECT_EQ(data->GetData(refused, &medium), DV_E_FORMATETC);
        EXPECT_EQ(medium.hGlobal, nullptr);
    }

    // Two reads give two separate blocks with the same bytes; changing one changes nothing.
    STGMEDIUM first{}, second{};
    ASSERT_EQ(data->GetData(&wider, &first), S_OK);
    ASSERT_EQ(data->GetData(&asked, &second), S_OK);
    EXPECT_EQ(first.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(first.pUnkForRelease, nullptr);
    EXPECT_NE(first.hGlobal, second.hGlobal);
    EXPECT_EQ(BlockBytes(first.hGlobal), std::vector<char>(stored, stored + sizeof(stored)));
    static_cast<char*>(GlobalLock(first.hGlobal))[0] = 99;
    GlobalUnlock(first.hGlobal);
    ReleaseStgMedium(&first);
    EXPECT_EQ(BlockBytes(second.hGlobal), std::vector<char>(stored, stored + sizeof(stored)));
    ReleaseStgMedium(&second);

    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(nullptr, &medium), E_INVALIDARG);
    EXPECT_EQ(data->GetData(&asked, nullptr), E_INVALIDARG);
    EXPECT_EQ(data->GetDataHere(&asked, &medium), E_NOTIMPL);
    IEnumFORMATETC* formats = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), E_NOTIMPL);
    EXPECT_EQ(data->DAdvise(&asked, 0, nullptr, nullptr), E_NOTIMPL);

    ComPtr<IDropTarget> notOffered;
    EXPECT_EQ(data.As(&notOffered), E_NOINTERFACE);
    ComPtr<IUnknown> identity;
    EXPECT_EQ(data.As(&identity), S_OK);
}

TEST(CustomDataObject, SetDataWithoutReleaseKeepsACopyAndLeavesTheCallersMedium)
{
    const ComPtr<CustomDataObject> data = MakeComObject<CustomDataObject>();
    FORMATETC format{kFormat, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM callers{};
    callers.tymed = TYMED_HGLOBAL;
    callers.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(callers.hGlobal), "abcd", 4);
    GlobalUnlock(callers.hGlobal);

    ASSERT_EQ(data->SetData(&format, &callers, FALSE), S_OK);
    // The caller still owns its block and frees it; the object must not rely on it.
    EXPECT_EQ(GlobalSize(callers.hGlobal), 4u);
    ReleaseStgMedium(&callers);

    STGMEDIUM served{};
    ASSERT_EQ(data->GetData(&format, &served), S_OK);
    EXPECT_EQ(BlockBytes(served.hGlobal), (std::vector<char>{'a', 'b', 'c', 'd'}));
    ReleaseStgMedium(&served);

    // A medium that cannot be copied is refused rather than borrowed.
    STGMEDIUM stream{};
    stream.tymed = TYMED_ISTREAM;
    FORMATETC streamFormat = format;
    streamFormat.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->SetData(&streamFormat, &stream, FALSE), DV_E_TYMED);
    EXPECT_EQ(data->QueryGetData(&format), S_OK) << "the stored data is still there";
}

TEST(ClipFormats, RegistersOnceAndTellsWhetherDataOffersARegisteredFormat)
{
    ClipFormats& formats = ClipFormats::Instance();
    const FORMATETC unknown = formats.Lookup(L"Fotoloft.Test.Unknown");
    EXPECT_EQ(unknown.cfFormat, 0);
    EXPECT_EQ(unknown.dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
    EXPECT_EQ(unknown.lindex, -1);
    EXPECT_EQ(unknown.tymed, static_cast<DWORD>(TYMED_HGLOBAL));

    const auto shellOnly = MakeComObject<DropTest::DropData>();
    shellOnly->PutFiles({L"C:\\a.jpg"});
    const bool offeredBefore = formats.OffersAny(shellOnly.Get());

    ASSERT_TRUE(formats.Register(L"Fotoloft.Test.Format"));
    const FORMATETC registered = formats.Lookup(L"Fotoloft.Test.Format");
    EXPECT_EQ(registered.cfFormat, RegisterClipboardFormatW(L"Fotoloft.Test.Format"));
    ASSERT_TRUE(formats.Register(L"Fotoloft.Test.Format"));
    EXPECT_EQ(formats.Lookup(L"Fotoloft.Test.Format").cfFormat, registered.cfFormat);

    EXPECT_FALSE(offeredBefore);
    EXPECT_FALSE(formats.OffersAny(shellOnly.Get()));
    EXPECT_FALSE(formats.OffersAny(nullptr));
    const auto custom = MakeComObject<DropTest::DropData>();
    custom->Put(registered.cfFormat, {1, 2, 3, 4});
    EXPECT_TRUE(formats.OffersAny(custom.Get()));
}

TEST(DroppedFiles, ReadsEveryPathWholeWhateverItsLength)
{
    const std::wstring chinese = L"C:\\照片\\春节 合影.jpg";
    std::wstring deep = L"C:\\";
    while (deep.size() < 700)
        deep += L"很长的文件夹名称-folder\\";
    deep += L"picture.JPG";
    const std::wstring longForm = L"\\\\?\\" + deep;
    const std::vector<std::wstring> paths{chinese, deep, L"D:\\", longForm};

    HGLOBAL block = HdropBlock(paths);
    const HDROP drop = static_cast<HDROP>(block);
    EXPECT_EQ(DroppedFileCount(drop), 4u);
    EXPECT_EQ(DroppedFilePath(drop, 1), deep);
    EXPECT_EQ(DroppedFilePath(drop, 1).size(), deep.size()) << "not cut at 255 or 260 characters";
    EXPECT_EQ(DroppedFilePaths(drop), paths);
    EXPECT_EQ(DroppedFilePath(drop, 4), L"");
    GlobalFree(block);

    EXPECT_EQ(DroppedFileCount(nullptr), 0u);
    EXPECT_TRUE(DroppedFilePaths(nullptr).empty());
}

TEST(ItemDragData, AListReadsBackOnlyItsOwnDragsFromThisProcess)
{
    const uint32_t mine = NewListCookie();
    const uint32_t another = NewListCookie();
    EXPECT_NE(mine, another);
    EXPECT_NE(mine, 0u);

    const ComPtr<IDataObject> data = MakeItemDragData(mine, 42);
    ASSERT_TRUE(data);
    EXPECT_TRUE(ClipFormats::Instance().OffersAny(data.Get()));
    EXPECT_EQ(ReadItemDragData(data.Get(), mine), std::optional<int32_t>(42));
    EXPECT_EQ(ReadItemDragData(data.Get(), another), std::nullopt) << "another list's item";
    EXPECT_EQ(ReadItemDragData(nullptr, mine), std::nullopt);

    // The same bytes from another process, and the bare id older drags carried.
    const CLIPFORMAT format = ClipFormats::Instance().Lookup(kItemDragFormat).cfFormat;
    ASSERT_EQ(format, RegisterClipboardFormatW(L"ListViewItem"));
    struct {
        int32_t id;
        uint32_t process;
        uint32_t cookie;
    } foreign{42, GetCurrentProcessId() + 4, mine};
    const auto fromElsewhere = MakeComObject<DropTest::DropData>();
    fromElsewhere->Put(format, std::vector<char>(reinterpret_cast<char*>(&foreign),
                                                 reinterpret_cast<char*>(&foreign) + sizeof(foreign)));
    EXPECT_EQ(ReadItemDragData(fromElsewhere.Get(), mine), std::nullopt);
    foreign.process = GetCurrentProcessId();
    fromElsewhere->Put(format, std::vector<char>(reinterpret_cast<char*>(&foreign),
                                                 reinterpret_cast<char*>(&foreign) + sizeof(foreign)));
    EXPECT_EQ(ReadItemDragData(fromElsewhere.Get(), mine), std::optional<int32_t>(42)) << "the layout as documented";
    const auto bareId = MakeComObject<DropTest::DropData>();
    bareId->Put(format, {42, 0, 0, 0});
    EXPECT_EQ(ReadItemDragData(bareId.Get(), mine), std::nullopt);
}
