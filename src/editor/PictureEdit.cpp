#include "editor/PictureEdit.h"

#include <utility>

namespace Vantor {

bool ApplyAdjustments(CxImage& image, const Adjustments& adjustments)
{
    if (!image.IsValid())
        return false;
    if ((adjustments.brightness != 0 || adjustments.contrast != 0) &&
        !image.Light(adjustments.brightness, adjustments.contrast))
        return false;
    if (adjustments.saturation != 0 && !image.Saturate(adjustments.saturation, 1))
        return false;
    return true;
}

bool PictureEdit::SetPicture(std::unique_ptr<CxImage> picture)
{
    original_.reset();
    geometry_.reset();
    adjusted_.reset();
    adjustments_ = Adjustments{};
    steps_.clear();
    done_ = 0;
    geometryChanged_ = false;
    if (!picture || !picture->IsValid())
        return false;
    original_ = std::shared_ptr<const CxImage>(std::move(picture));
    geometry_ = original_;
    adjusted_ = original_;
    return true;
}

SIZE PictureEdit::Size() const
{
    if (!adjusted_)
        return SIZE{0, 0};
    return SIZE{static_cast<LONG>(adjusted_->GetWidth()), static_cast<LONG>(adjusted_->GetHeight())};
}

bool PictureEdit::RotateLeft() { return Record(Step{Step::TurnLeft}); }
bool PictureEdit::RotateRight() { return Record(Step{Step::TurnRight}); }

bool PictureEdit::Crop(const RECT& rect)
{
    Step step{Step::Crop};
    step.rect = rect;
    return Record(step);
}

bool PictureEdit::Resize(int width, int height)
{
    Step step{Step::Resize};
    step.size = SIZE{width, height};
    return Record(step);
}

bool PictureEdit::SetAdjustments(const Adjustments& adjustments)
{
    if (!original_ || adjustments == adjustments_)
        return false;
    Step step{Step::Adjust};
    step.adjustments = adjustments;
    return Record(step);
}

bool PictureEdit::Revert() { return Record(Step{Step::Revert}); }

bool PictureEdit::IsChanged() const { return original_ && (geometryChanged_ || !adjustments_.IsNone()); }

bool PictureEdit::Record(const Step& step)
{
    if (!original_)
        return false;
    if (!Apply(step))
        return false;
    steps_.resize(done_);
    steps_.push_back(step);
    done_ = steps_.size();
    return true;
}

bool PictureEdit::Undo()
{
    if (!CanUndo())
        return false;
    --done_;
    if (Rebuild())
        return true;
    ++done_;
    Rebuild();
    return false;
}

bool PictureEdit::Redo()
{
    if (!CanRedo())
        return false;
    if (!Apply(steps_[done_]))
        return false;
    ++done_;
    return true;
}

bool PictureEdit::Rebuild()
{
    // The adjusted and geometry copies go first, so that the replay never holds more than
    // the unchanged picture, the picture being turned and the operation's temporary.
    adjusted_.reset();
    geometry_ = original_;
    adjustments_ = Adjustments{};
    geometryChanged_ = false;
    bool ok = true;
    for (size_t i = 0; i < done_ && ok; ++i)
        ok = Apply(steps_[i]);
    if (ok && !adjusted_)
        ok = Refresh();  // nothing left to replay
    if (!ok || !adjusted_) {
        geometry_ = original_;
        adjusted_ = original_;
        adjustments_ = Adjustments{};
        geometryChanged_ = false;
        return false;
    }
    return true;
}

bool PictureEdit::Apply(const Step& step)
{
    switch (step.kind) {
    case Step::Adjust: {
        const Adjustments before = adjustments_;
        adjustments_ = step.adjustments;
        if (Refresh())
            return true;
        adjustments_ = before;
        Refresh();
        return false;
    }
    case Step::Revert:
        adjusted_.reset();
        geometry_ = original_;
        adjustments_ = Adjustments{};
        geometryChanged_ = false;
        return Refresh();
    default:
        return ApplyGeometry(step);
    }
}

bool PictureEdit::ApplyGeometry(const Step& step)
{
    // The adjusted copy is made again from the new geometry: drop it before the work.
    if (adjusted_ != geometry_)
        adjusted_.reset();
    // The operations write into a new image and leave the source as it is (they only note
    // a failure on it): the source may be the unchanged picture, which is never changed.
    auto& source = const_cast<CxImage&>(*geometry_);
    auto turned = std::make_shared<CxImage>();
    bool ok = false;
    switch (step.kind) {
    case Step::TurnLeft:
        ok = source.RotateLeft(turned.get());
        break;
    case Step::TurnRight:
        ok = source.RotateRight(turned.get());
        break;
    case Step::Crop:
        ok = source.Crop(step.rect.left, step.rect.top, step.rect.right, step.rect.bottom, turned.get());
        break;
    case Step::Resize:
        if (step.size.cx > 0 && step.size.cy > 0)
            ok = source.Resample(step.size.cx, step.size.cy, 0, turned.get());
        break;
    default:
        break;
    }
    if (ok && turned->IsValid()) {
        geometry_ = std::move(turned);
        geometryChanged_ = true;
    } else {
        lastError_ = geometry_->GetLastError();
    }
    if (!Refresh())
        return false;
    return ok;
}

bool PictureEdit::Refresh()
{
    if (!geometry_)
        return false;
    if (adjustments_.IsNone()) {
        adjusted_ = geometry_;
        return true;
    }
    adjusted_.reset();
    auto adjusted = std::make_shared<CxImage>();
    if (!adjusted->Copy(*geometry_) || !ApplyAdjustments(*adjusted, adjustments_)) {
        lastError_ = adjusted->GetLastError();
        adjusted_ = geometry_;
        return false;
    }
    adjusted_ = std::move(adjusted);
    return true;
}

}  // namespace Vantor
