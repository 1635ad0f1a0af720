#include "picker/CombinBitmap.h"

#include "platform/Handles.h"
#include "platform/ResourceModule.h"
#include "platform/SharedResource.h"

namespace Vantor {

namespace {

Win::SharedResource<CombinBitmap>& SharedStrip()
{
    static auto* shared = new Win::SharedResource<CombinBitmap>([] {
        auto strip = std::make_unique<CombinBitmap>();
        strip->Fill();
        return strip;
    });
    return *shared;
}

}  // namespace

std::shared_ptr<const CombinBitmap> CombinBitmap::Acquire()
{
    auto lease = SharedStrip().Acquire();
    return lease ? lease : std::make_shared<const CombinBitmap>();
}

std::shared_ptr<const CombinBitmap> CombinBitmap::Current()
{
    static const auto* empty = new std::shared_ptr<const CombinBitmap>(std::make_shared<const CombinBitmap>());
    auto live = SharedStrip().Current();
    return live ? live : *empty;
}

long CombinBitmap::LeaseCount() { return SharedStrip().UseCount(); }

bool CombinBitmap::Fill(int id)
{
    const HINSTANCE module = Win::ResourceModule();
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || !LoadPng(data, SizeofResource(module, found)))
        return false;
    cells_.clear();
    const char* const names[] = {"LeftCirc", "RightCirc", "Del", "Search", "Check", "Editor"};
    int x = 0;
    for (const char* name : names) {
        AddCell(name, x, 0, 16, 16);
        x += 16;
    }
    return true;
}

bool CombinBitmap::LoadPng(const void* data, size_t size)
{
    if (!data || size == 0)
        return false;
    // GDI+ reads from a stream of its own copy; the strip keeps a 32-bit copy detached from it.
    ComPtr<IStream> stream;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return false;
    if (void* target = GlobalLock(memory)) {
        memcpy(target, data, size);
        GlobalUnlock(memory);
    }
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return false;
    }
    Gdiplus::Bitmap decoded(stream.Get());
    if (decoded.GetLastStatus() != Gdiplus::Ok || decoded.GetWidth() == 0 || decoded.GetHeight() == 0)
        return false;
    std::unique_ptr<Gdiplus::Bitmap> copy(
        decoded.Clone(0, 0, decoded.GetWidth(), decoded.GetHeight(), PixelFormat32bppARGB));
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok)
        return false;
    bitmap_ = std::move(copy);
    return true;
}

void CombinBitmap::AddCell(const std::string& name, int x, int y, int width, int height)
{
    cells_[name] = Gdiplus::Rect(x, y, width, height);
}

void CombinBitmap::Draw(Gdiplus::Graphics& graphics, const std::string& name, const RECT& destination) const
{
    const auto cell = cells_.find(name);
    if (!bitmap_ || cell == cells_.end())
        return;
    const Gdiplus::Rect& source = cell->second;
    std::lock_guard<std::mutex> hold(drawing_);
    graphics.DrawImage(bitmap_.get(),
                       Gdiplus::Rect(destination.left, destination.top, destination.right - destination.left,
                                     destination.bottom - destination.top),
                       source.X, source.Y, source.Width, source.Height, Gdiplus::UnitPixel);
}

void CombinBitmap::DrawAt(Gdiplus::Graphics& graphics, const std::string& name, POINT at) const
{
    const auto cell = cells_.find(name);
    if (cell == cells_.end())
        return;
    Draw(graphics, name, RECT{at.x, at.y, at.x + cell->second.Width, at.y + cell->second.Height});
}

}  // namespace Vantor
