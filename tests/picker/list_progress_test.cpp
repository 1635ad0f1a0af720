// The progress band of an upload-list item is painted from the file's upload state: filled
// by the share sent, whole only once every byte went out, empty for a failed file and for a
// file a new task has taken.
#include "ListFixture.h"

#include "Biz/ImageData.h"

using namespace listtest;
using namespace Vantor;

namespace {

// Paints the item into a cell of its own and tells whether the band's left and right ends
// are filled (the fill is green; the band's own shade is dark).
std::pair<bool, bool> BandFilled(ListViewPostItem& item)
{
    const RECT cell{0, 0, 124, 150};  // band: rows 96 to 120, columns 1 to 123
    Gdiplus::Bitmap canvas(cell.right, cell.bottom, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
        item.Paint(graphics, cell);
    }
    const auto greenAt = [&](int x) {
        Gdiplus::Color c;
        canvas.GetPixel(x, 100, &c);
        return c.GetG() > c.GetB() + 40;  // the fill is green; shade and picture are grey
    };
    return {greenAt(4), greenAt(119)};
}

}  // namespace

TEST_F(ListFixture, TheProgressBandFollowsTheFilesUploadState)
{
    AddPictures(1);
    SetUploading(true);
    auto* item = dynamic_cast<ListViewPostItem*>(list_->FindById(0));
    ASSERT_TRUE(item);
    const std::shared_ptr<ImageData> record = item->Record();
    ASSERT_TRUE(record);

    record->resetUploadState();
    EXPECT_EQ(BandFilled(*item), std::make_pair(false, false)) << "waiting";
    record->UploadSize = 1000;
    record->SentBytes = 500;
    record->setUploadPhase(UploadPhase::Sending);
    EXPECT_EQ(BandFilled(*item), std::make_pair(true, false)) << "half sent";
    record->SentBytes = 1000;
    record->setUploadPhase(UploadPhase::AwaitingReply);
    EXPECT_EQ(BandFilled(*item), std::make_pair(true, true)) << "every byte out";
    record->setUploadPhase(UploadPhase::Failed);
    EXPECT_EQ(BandFilled(*item), std::make_pair(false, false)) << "a failure shows no progress";
    record->setUploadPhase(UploadPhase::Done);
    EXPECT_EQ(BandFilled(*item), std::make_pair(true, true)) << "accepted";
    record->resetUploadState();
    EXPECT_EQ(BandFilled(*item), std::make_pair(false, false)) << "a new task starts from nothing";
    SetUploading(false);
}
