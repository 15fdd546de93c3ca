// Lights: an ambient light, or a directional light that shines along the +z axis of
// the frame it is attached to. Colours are kept as the 8-bit values the setters make.
#pragma once

#include "platform/rm/color.h"
#include "platform/rm/object.h"

namespace platform::rm {

enum class LightType { Ambient = 0, Point = 1, Spot = 2, Directional = 3, ParallelPoint = 4 };

class Light : public Object {
public:
    static Light* Create(LightType type, float r, float g, float b) {
        return new Light(type, ColorFromRGB(r, g, b));
    }
    LightType Type() const { return type_; }
    Color Colour() const { return colour_; }
    void SetColorRGB(float r, float g, float b) { colour_ = ColorFromRGB(r, g, b); }

private:
    Light(LightType t, Color c) : type_(t), colour_(c) {}
    LightType type_;
    Color colour_;
};

}  // namespace platform::rm
