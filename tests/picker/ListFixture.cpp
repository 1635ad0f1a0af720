#include "ListFixture.h"

#include "Biz/ImageData.h"
#include "test_pictures.h"

namespace listtest {

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        Pump();
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

Vantor::CxImage Plain(uint32_t width, uint32_t height, uint8_t shade)
{
    return testpics::Make24(width, height, [shade](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<BYTE>(shade + (x % 7)), static_cast<BYTE>(shade + (y % 5)), shade, 255};
    });
}

void ListFixture::SetUp()
{
    host_ = std::make_unique<TestHostWindow>(kWidth, kHeight);
    ASSERT_TRUE(host_->get());
    ShowWindow(host_->get(), SW_SHOWNA);
    list_ = std::make_unique<Vantor::ListView>(&Vantor::ListViewPostItem::Make);
    ASSERT_TRUE(list_->Create(host_->get(), 0, 0, kWidth, kHeight));
    list_->SetItemWidth(150);
    list_->SetItemHeight(151);
    list_->Arrange();
    list_->ThumbnailsLoaded.connect([this] { ++thumbnailsLoaded_; });
    list_->FollowUploading([this] { return uploading_; });
}

void ListFixture::SetUploading(bool uploading)
{
    uploading_ = uploading;
    list_->UploadingChanged();
}

void ListFixture::TearDown()
{
    list_.reset();
    host_.reset();
    Pump();
}

std::wstring ListFixture::Picture(const std::wstring& name, uint32_t width, uint32_t height)
{
    const std::wstring path = folder_.file(name);
    const size_t dot = name.rfind(L'.');
    const std::wstring format = dot == std::wstring::npos ? L"png" : name.substr(dot + 1);
    std::wstring lower;
    for (wchar_t c : format)
        lower += static_cast<wchar_t>(towlower(c));
    EXPECT_TRUE(testpics::WritePicture(path, Plain(width, height), lower == L"jpeg" ? L"jpg" : lower.c_str()));
    return path;
}

std::vector<int32_t> ListFixture::AddPictures(int count, bool wait)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back(Picture(L"p" + std::to_wstring(i) + L".png"));
    const int before = list_->Count();
    const int loaded = thumbnailsLoaded_;
    list_->AddFiles(paths);
    std::vector<int32_t> ids;
    for (int i = before; i < list_->Count(); ++i)
        ids.push_back(list_->Items()[i]->Id());
    if (wait) {
        EXPECT_TRUE(PumpUntil([&] { return thumbnailsLoaded_ > loaded; }));
    }
    return ids;
}

bool ListFixture::WaitForThumbnails()
{
    return PumpUntil([this] {
        for (const auto& item : list_->Items())
            if (item->Record()->thumbnailState() == Vantor::ImageData::ThumbnailState::Pending)
                return false;
        return !list_->IsLoadingThumbnails();
    });
}

POINT ListFixture::ItemPoint(int32_t id) const
{
    const Vantor::ListViewItem* item = list_->FindById(id);
    if (!item)
        return POINT{-1, -1};
    const RECT r = item->GetRect();
    return POINT{(r.left + r.right) / 2, r.top + 40 - list_->ScrollPos()};
}

POINT ListFixture::ButtonPoint(int32_t id, Vantor::ListViewPostItem::Button button) const
{
    const auto* item = dynamic_cast<const Vantor::ListViewPostItem*>(list_->FindById(id));
    if (!item)
        return POINT{-1, -1};
    const RECT r = item->ButtonRect(button);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2 - list_->ScrollPos()};
}

void ListFixture::Click(POINT client, WPARAM keys)
{
    const LPARAM at = MAKELPARAM(client.x, client.y);
    SendMessageW(list_->hwnd(), WM_MOUSEMOVE, keys, at);
    SendMessageW(list_->hwnd(), WM_LBUTTONDOWN, keys | MK_LBUTTON, at);
    SendMessageW(list_->hwnd(), WM_LBUTTONUP, keys, at);
}

void ListFixture::KeyUp(UINT key, bool ctrl)
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    const BYTE saved = state[VK_CONTROL];
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageW(list_->hwnd(), WM_KEYDOWN, key, 0);
    SendMessageW(list_->hwnd(), WM_KEYUP, key, 0);
    state[VK_CONTROL] = saved;
    SetKeyboardState(state);
}

std::vector<int32_t> ListFixture::Order() const
{
    std::vector<int32_t> ids;
    for (const auto& item : list_->Items())
        ids.push_back(item->Id());
    return ids;
}

std::vector<int32_t> ListFixture::Selected() const { return list_->SelectionIds(); }

}  // namespace listtest
