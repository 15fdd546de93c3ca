// Pictures drawn over a finished frame: each picture is kept on the GPU, in pieces
// no larger than the GL's largest texture, and uploaded again only when its version
// changes; a draw stretches a rectangle of it onto a rectangle of the frame,
// blending by its alpha.
#pragma once

#include <cstdint>
#include <memory>

namespace platform::rm {

class Device;

struct Picture {
    std::uint64_t id = 0;        // stays the same for the same picture
    std::uint32_t version = 0;   // changes whenever its pixels do
    int width = 0, height = 0;
    const std::uint8_t* rgba = nullptr;  // width * height * 4, top row first
};

class Overlay2D {
public:
    // Needs the GL context of the device current. Null when it cannot be made.
    // maxPiece limits the pieces' side further (tests); 0 takes the GL's limit.
    static std::unique_ptr<Overlay2D> Create(int maxPiece = 0);
    ~Overlay2D();

    // Draws (sx, sy, sw, sh) of the picture onto (x, y, w, h) of the device's finished
    // frame; both rectangles from the top-left corner. Pixels are not smoothed, as a
    // blit copies them.
    void Draw(Device& device, const Picture& picture, int sx, int sy, int sw, int sh, int x, int y,
              int w, int h);
    // Texture uploads so far, one for each piece of a picture: steady frames make none.
    std::uint64_t Uploads() const { return uploads_; }
    // The side of the largest piece a picture is cut into.
    int MaxPiece() const;

private:
    Overlay2D() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::uint64_t uploads_ = 0;
};

}  // namespace platform::rm
