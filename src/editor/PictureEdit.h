#pragma once
// The picture being edited, always at full resolution: the unchanged picture, the geometry
// edits made on it (quarter turns, crops, resizes) and the three adjustments (brightness,
// contrast, saturation) applied together on top of them. How it is shown (fitted, scrolled)
// is the canvas's business and never touches these pixels.
//
// Every edit is one step of a history: Undo and Redo walk it one step at a time, and Revert
// is itself a step back to the unchanged picture (so it can be undone too). An undo rebuilds
// the picture from the unchanged one by replaying the steps still done; the steps are small
// records, never pictures.
//
// Memory: the unchanged picture, the geometry result and the adjusted result, each shared
// while equal to the one before it, so an untouched picture is held once, a turned one
// twice and a turned and brightened one three times. An edit drops the adjusted copy before
// it works, so the temporary an operation makes never brings the count above three.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/CxImage.h"

namespace Vantor {

struct Adjustments {
    int brightness = 0;  // -255..255
    int contrast = 0;    // -100..100
    int saturation = 0;  // -100..100
    bool IsNone() const { return brightness == 0 && contrast == 0 && saturation == 0; }
    bool operator==(const Adjustments& o) const
    {
        return brightness == o.brightness && contrast == o.contrast && saturation == o.saturation;
    }
    bool operator!=(const Adjustments& o) const { return !(*this == o); }
};

// The adjustments applied in place: Light(brightness, contrast), then Saturate when the
// saturation is not 0 (its colour round trip would otherwise change pixels for nothing).
bool ApplyAdjustments(CxImage& image, const Adjustments& adjustments);

class PictureEdit {
public:
    // Starts over on a new unchanged picture (the history is cleared). False for an
    // invalid picture (nothing is kept then).
    bool SetPicture(std::unique_ptr<CxImage> picture);
    bool HasPicture() const { return original_ != nullptr; }

    // The picture as edited now: what is shown and returned. Null without picture.
    std::shared_ptr<const CxImage> Result() const { return adjusted_; }
    // The geometry edits without the adjustments (what a slider preview starts from).
    std::shared_ptr<const CxImage> Geometry() const { return geometry_; }
    std::shared_ptr<const CxImage> Unchanged() const { return original_; }
    SIZE Size() const;
    const Adjustments& CurrentAdjustments() const { return adjustments_; }

    // Geometry edits on the current picture. A crop takes top-down picture coordinates
    // (right and bottom exclusive), clamped to the picture; a resize gives exactly the size
    // asked. False (nothing changes, no step is recorded) when the operation fails.
    bool RotateLeft();
    bool RotateRight();
    bool Crop(const RECT& rect);
    bool Resize(int width, int height);
    // Replaces the adjustments (one step); the same values again record nothing.
    bool SetAdjustments(const Adjustments& adjustments);
    // Back to the unchanged picture, as one step.
    bool Revert();

    bool CanUndo() const { return done_ > 0; }
    bool CanRedo() const { return done_ < steps_.size(); }
    bool Undo();
    bool Redo();
    // Whether the picture differs from the unchanged one by any step still done.
    bool IsChanged() const;

    // The last failure, from the raster image ("" when none).
    const std::string& LastError() const { return lastError_; }

private:
    struct Step {
        enum Kind { TurnLeft, TurnRight, Crop, Resize, Adjust, Revert } kind;
        RECT rect{};       // Crop
        SIZE size{};       // Resize
        Adjustments adjustments;  // Adjust
    };

    // Applies one step to the current state; false leaves the state as it was.
    bool Apply(const Step& step);
    bool ApplyGeometry(const Step& step);
    bool Refresh();  // adjusted_ from geometry_ and adjustments_
    bool Record(const Step& step);
    bool Rebuild();  // from the unchanged picture, replaying steps [0, done_)

    std::shared_ptr<const CxImage> original_;
    std::shared_ptr<const CxImage> geometry_;
    std::shared_ptr<const CxImage> adjusted_;
    Adjustments adjustments_;
    std::vector<Step> steps_;
    size_t done_ = 0;
    bool geometryChanged_ = false;  // a geometry step since the start or the last revert
    std::string lastError_;
};

}  // namespace Vantor
