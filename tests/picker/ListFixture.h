#pragma once
// A real list window in a real top-level window, picture files written for the test, and the
// steps a user takes (clicks at item positions, keys), sent as the window's own messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HostWindow.h"
#include "picker/ListView.h"
#include "picker/ListViewPostItem.h"
#include "picture_files.h"

namespace listtest {

// Pumps the thread's messages until the condition holds or the time runs out.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
// Pumps what is waiting now.
void Pump();

// A plain picture of that size, in the format of the extension ("jpg", "png", ...).
Vantor::CxImage Plain(uint32_t width, uint32_t height, uint8_t shade = 90);

class ListFixture : public ::testing::Test {
protected:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 400;

    void SetUp() override;
    void TearDown() override;

    // Writes a picture file in the folder and returns its path.
    std::wstring Picture(const std::wstring& name, uint32_t width = 64, uint32_t height = 48);
    // Adds pictures named p0.png ... and waits for their thumbnails.
    std::vector<int32_t> AddPictures(int count, bool wait = true);
    bool WaitForThumbnails();

    // Mouse steps at the centre of an item's thumbnail area (client coordinates).
    POINT ItemPoint(int32_t id) const;
    POINT ButtonPoint(int32_t id, Vantor::ListViewPostItem::Button button) const;
    void Click(POINT client, WPARAM keys = 0);
    void ClickItem(int32_t id, WPARAM keys = 0) { Click(ItemPoint(id), keys); }
    void KeyUp(UINT key, bool ctrl = false);  // a press and its release
    std::vector<int32_t> Order() const;
    // A task starts or ends, as the control's upload session tells the list.
    void SetUploading(bool uploading);
    std::vector<int32_t> Selected() const;

    testpics::TempFolder folder_;
    std::unique_ptr<TestHostWindow> host_;
    std::unique_ptr<Vantor::ListView> list_;
    int thumbnailsLoaded_ = 0;
    bool uploading_ = false;
};

}  // namespace listtest
