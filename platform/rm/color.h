// Colours as the retained-mode setters store them: four 8-bit channels, made from
// reals by truncation (0.5 gives 0x7f), alpha forced to 0xff by the RGB setters.
#pragma once

#include <cmath>
#include <cstdint>

namespace platform::rm {

struct Color {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    float R() const { return r / 255.0f; }
    float G() const { return g / 255.0f; }
    float B() const { return b / 255.0f; }
    float A() const { return a / 255.0f; }
    friend bool operator==(Color, Color) = default;
};

inline uint8_t ChannelFromReal(float v) {
    if (!(v > 0.0f)) return 0;  // also catches NaN
    if (v >= 1.0f) return 255;
    return static_cast<uint8_t>(v * 255.0f);
}

inline Color ColorFromRGB(float r, float g, float b) {
    return {ChannelFromReal(r), ChannelFromReal(g), ChannelFromReal(b), 255};
}
inline Color ColorFromRGBA(float r, float g, float b, float a) {
    return {ChannelFromReal(r), ChannelFromReal(g), ChannelFromReal(b), ChannelFromReal(a)};
}
// 0xAARRGGBB, the packed form the retained-mode getters report.
inline uint32_t PackColor(Color c) {
    return uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

}  // namespace platform::rm
