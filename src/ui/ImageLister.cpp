#include "ui/ImageLister.h"

#include "image/CxImage.h"
#include "platform/ResourceModule.h"
#include "platform/SharedResource.h"
#include "ui/SkinTable.h"

namespace Vantor::UI {

namespace {

Win::SharedResource<ImageLister>& SharedSkins()
{
    // Lives as long as the process: a lease may end while the module's statics go.
    static auto* shared = new Win::SharedResource<ImageLister>([] {
        auto store = std::make_unique<ImageLister>();
        LoadSkins(*store);
        return store;
    });
    return *shared;
}

}  // namespace

SkinLease ImageLister::Acquire()
{
    SkinLease lease = SharedSkins().Acquire();
    return lease ? lease : std::make_shared<const ImageLister>();
}

SkinLease ImageLister::Current()
{
    static const auto* empty = new SkinLease(std::make_shared<const ImageLister>());
    SkinLease live = SharedSkins().Current();
    return live ? live : *empty;
}

long ImageLister::LeaseCount() { return SharedSkins().UseCount(); }

bool ImageLister::AddSkin(const std::string& name, int id)
{
    const HINSTANCE module = Win::ResourceModule();
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!found)
        return false;
    const HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    return AddSkinPng(name, data, SizeofResource(module, found));
}

bool ImageLister::AddSkinPng(const std::string& name, const void* data, size_t size)
{
    auto image = std::make_shared<CxImage>();
    if (!data || size == 0 || !image->DecodePng(data, size) || !image->IsValid())
        return false;
    images_[name] = std::move(image);
    return true;
}

std::shared_ptr<const CxImage> ImageLister::Find(const std::string& name) const
{
    const auto it = images_.find(name);
    return it == images_.end() ? nullptr : it->second;
}

SIZE ImageLister::GetSize(const std::string& name) const
{
    const auto image = Find(name);
    if (!image)
        return SIZE{0, 0};
    return SIZE{static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())};
}

void ImageLister::DrawSkin(HDC dc, const std::string& name, POINT at) const
{
    if (const auto image = Find(name))
        image->Draw(dc, at.x, at.y);
}

void ImageLister::DrawSkinStretched(HDC dc, const std::string& name, const RECT& rect) const
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return;
    if (const auto image = Find(name))
        image->Draw(dc, rect.left, rect.top, width, height);
}

void ImageLister::DrawSkinGray(HDC dc, const std::string& name, POINT at) const
{
    const auto image = Find(name);
    if (!image)
        return;
    CxImage gray;
    if (gray.Copy(*image, true, true, true) && gray.GrayScale())
        gray.Draw(dc, at.x, at.y);
}

}  // namespace Vantor::UI
