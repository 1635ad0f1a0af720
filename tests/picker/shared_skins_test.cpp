// The skin store and the icon strip are shared by every control of the process: one holder
// letting go (a control removed from its page) leaves the others their pictures, also when
// the holders live on different threads.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "ListFixture.h"
#include "picker/CombinBitmap.h"
#include "platform/SharedResource.h"
#include "ui/ImageLister.h"

using namespace listtest;
using namespace Vantor;

namespace {

struct Counted {
    explicit Counted(std::atomic<int>& gone) : gone_(gone) {}
    ~Counted() { ++gone_; }
    std::atomic<int>& gone_;
};

// Paints one button skin and one item icon the way the controls do (through Current()) and
// returns the pixels.
std::vector<Gdiplus::ARGB> PaintSkinAndIcon()
{
    Gdiplus::Bitmap canvas(120, 40, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(255, 255, 0, 255));
        const HDC dc = graphics.GetHDC();
        UI::ImageLister::Current()->DrawSkin(dc, "BtnAdd-Normal", POINT{0, 0});
        graphics.ReleaseHDC(dc);
        CombinBitmap::Current()->DrawAt(graphics, "Del", POINT{100, 0});
    }
    std::vector<Gdiplus::ARGB> pixels;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            Gdiplus::Color c;
            canvas.GetPixel(x, y, &c);
            pixels.push_back(c.GetValue() | 0xFF000000u);
        }
    return pixels;
}

int CountNotMagenta(const std::vector<Gdiplus::ARGB>& pixels, int left, int right)
{
    int count = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        const int x = static_cast<int>(i % 120);
        if (x >= left && x < right && pixels[i] != 0xFFFF00FFu)
            ++count;
    }
    return count;
}

}  // namespace

TEST(SharedResource, OneObjectPerGenerationWhicheverThreadsAsk)
{
    std::atomic<int> made{0};
    std::atomic<int> gone{0};
    Win::SharedResource<Counted> shared([&] {
        ++made;
        return std::make_unique<Counted>(gone);
    });
    EXPECT_FALSE(shared.Current()) << "nothing is made before the first lease";

    std::vector<std::shared_ptr<const Counted>> leases(8);
    {
        std::vector<std::thread> threads;
        for (auto& lease : leases)
            threads.emplace_back([&shared, &lease] { lease = shared.Acquire(); });
        for (auto& thread : threads)
            thread.join();
    }
    EXPECT_EQ(made, 1);
    for (const auto& lease : leases)
        EXPECT_EQ(lease.get(), leases[0].get());
    leases.resize(1);
    EXPECT_EQ(gone, 0) << "one lease still holds it";
    EXPECT_EQ(shared.Current().get(), leases[0].get());
    leases.clear();
    EXPECT_EQ(gone, 1);
    EXPECT_FALSE(shared.Current());
    EXPECT_EQ(shared.UseCount(), 0);
    EXPECT_TRUE(shared.Acquire()) << "a later first lease makes a new one";
    EXPECT_EQ(made, 2);

    // A maker that fails gives no lease, and the next lease tries again.
    int attempts = 0;
    Win::SharedResource<Counted> failing([&]() -> std::unique_ptr<Counted> {
        if (++attempts == 1)
            throw std::runtime_error("no memory");
        return nullptr;
    });
    EXPECT_FALSE(failing.Acquire());
    EXPECT_FALSE(failing.Acquire());
    EXPECT_EQ(attempts, 2);
}

TEST(SharedSkins, AControlOnAnotherThreadKeepsItsPicturesWhenTheFirstGoes)
{
    // The first control (this thread) and a second one on its own thread each hold leases.
    auto firstSkins = UI::ImageLister::Acquire();
    auto firstIcons = CombinBitmap::Acquire();
    ASSERT_EQ(firstSkins->Count(), 47u);
    ASSERT_TRUE(firstIcons->HasCell("Del"));
    const std::vector<Gdiplus::ARGB> reference = PaintSkinAndIcon();
    ASSERT_GT(CountNotMagenta(reference, 0, 84), 1000) << "the button skin paints";
    ASSERT_GT(CountNotMagenta(reference, 100, 116), 20) << "the delete icon paints";

    std::mutex lock;
    std::condition_variable changed;
    bool secondReady = false;
    bool firstGone = false;
    std::atomic<int> mismatches{0};
    std::atomic<int> rounds{0};
    std::thread second([&] {
        const auto skins = UI::ImageLister::Acquire();
        const auto icons = CombinBitmap::Acquire();
        {
            std::lock_guard<std::mutex> hold(lock);
            secondReady = true;
        }
        changed.notify_all();
        // Paints all along while the first control goes and others come and go, and a few
        // times after.
        for (int after = 0; after < 5;) {
            if (PaintSkinAndIcon() != reference)
                ++mismatches;
            ++rounds;
            std::lock_guard<std::mutex> hold(lock);
            if (firstGone)
                ++after;
        }
    });
    {
        std::unique_lock<std::mutex> hold(lock);
        ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(20), [&] { return secondReady; }));
    }
    firstSkins.reset();  // the first control is removed from its page
    firstIcons.reset();
    for (int i = 0; i < 20; ++i) {  // a third control comes and goes meanwhile
        const auto skins = UI::ImageLister::Acquire();
        const auto icons = CombinBitmap::Acquire();
    }
    {
        std::lock_guard<std::mutex> hold(lock);
        firstGone = true;
    }
    second.join();
    EXPECT_EQ(mismatches, 0) << "the second control painted other pixels in " << rounds << " rounds";

    // Once the last holder went, the pictures went too; a new control loads them again.
    EXPECT_EQ(UI::ImageLister::LeaseCount(), 0);
    EXPECT_EQ(CombinBitmap::LeaseCount(), 0);
    EXPECT_EQ(UI::ImageLister::Current()->Count(), 0u);
    EXPECT_FALSE(CombinBitmap::Current()->HasCell("Del"));
    const auto again = UI::ImageLister::Acquire();
    const auto iconsAgain = CombinBitmap::Acquire();
    EXPECT_EQ(PaintSkinAndIcon(), reference);
}

TEST_F(ListFixture, ItemsKeepTheirIconsWhenAnotherListGoes)
{
    AddPictures(1);
    ListViewItem* item = list_->FindById(0);
    ASSERT_TRUE(item);
    item->SetFlags(ItemHovered);  // the hovered item shows its tools
    const auto paint = [&] {
        const RECT cell{0, 0, 150, 151};
        Gdiplus::Bitmap canvas(cell.right, cell.bottom, PixelFormat32bppARGB);
        {
            Gdiplus::Graphics graphics(&canvas);
            graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
            item->Paint(graphics, cell);
        }
        std::vector<Gdiplus::ARGB> pixels;
        for (int y = 0; y < cell.bottom; ++y)
            for (int x = 0; x < cell.right; ++x) {
                Gdiplus::Color c;
                canvas.GetPixel(x, y, &c);
                pixels.push_back(c.GetValue());
            }
        return pixels;
    };
    const std::vector<Gdiplus::ARGB> withIcons = paint();

    // The add-images dialog's list (or a second control's) on another thread, made and gone.
    std::thread other([] {
        TestHostWindow host(300, 200);
        auto list = std::make_unique<ListView>();
        list->Create(host.get(), 0, 0, 300, 200);
        list.reset();
    });
    other.join();
    EXPECT_EQ(paint(), withIcons);
    EXPECT_GT(CombinBitmap::LeaseCount(), 0) << "the list holds the strip";
    item->SetFlags(0);
}
