// The OpenGL device and viewport. The device owns an off-screen back buffer of any
// size in whatever GL 3.3 core context is current (a window's, a GtkGLArea's or an
// off-screen one) and every GL object made for the scene: the scene objects
// themselves hold none. The caller presents the finished frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/rm/image.h"
#include "platform/rm/math.h"
#include "platform/rm/object.h"

namespace platform::rm {

class Frame;
class MeshBuilder;
class Texture;

enum class TextureQuality { Nearest = 0, Linear = 1, MipNearest = 2, MipLinear = 3, LinearMipNearest = 4, LinearMipLinear = 5 };

inline constexpr uint32_t kClearTarget = 1, kClearZBuffer = 2, kClearDirtyRects = 4, kClearAll = 7;

class Device {
public:
    // Needs a current GL 3.3 core context. Null with a reason on failure.
    static std::unique_ptr<Device> Create(int width, int height, std::string* error = nullptr);
    // Frees the device's GL objects: the same context must be current.
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // New back-buffer size; the content is lost.
    bool Resize(int width, int height);

    // Quality word: shade (flat 0, Gouraud 1, Phong drawn as Gouraud), light, fill.
    void SetQuality(uint32_t quality) { quality_ = quality; }
    uint32_t Quality() const { return quality_; }
    void SetTextureQuality(TextureQuality q) { texture_quality_ = q; }
    TextureQuality GetTextureQuality() const { return texture_quality_; }
    void SetDither(bool on) { dither_ = on; }
    bool Dither() const { return dither_; }
    // Anti-aliasing draws into a multisampled buffer resolved by Update().
    bool SetAntialias(bool on);
    bool Antialias() const { return samples_ > 0; }

    // Draws straight into the window's own framebuffer (GL framebuffer 0) rather than
    // into the device's back buffer, so that presenting copies nothing: for a window
    // whose drawable is exactly the device's size. Refused (false, the back buffer
    // kept) while anti-aliasing is on or when the window's framebuffer has no depth
    // buffer of 24 bits or more (the back buffer's own). Set between frames.
    bool SetDrawIntoWindow(bool on);
    bool DrawsIntoWindow() const;

    // Ends the frame: resolves the back buffer so it can be presented or read.
    bool Update();
    // Copies the finished frame, stretched, onto the framebuffer bound for drawing
    // when called (0 for a window), at (x, y, w, h) in its pixels from the bottom.
    // Drawing into the window, the frame is there already and nothing is copied.
    void Present(int x, int y, int w, int h);
    // The GL framebuffer holding the finished frame (after Update), so that 2D
    // overlays can be drawn over it before it is presented.
    unsigned FinishedFramebuffer() const;
    // The finished frame as RGBA, rows top to bottom.
    bool ReadPixels(Image& out);
    // Times a GL object (buffer or texture) was created or filled: tests use it to
    // check that steady frames upload nothing.
    uint64_t Uploads() const { return uploads_; }

private:
    friend class Viewport;
    friend struct RenderPass;
    Device() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int width_ = 0, height_ = 0;
    int samples_ = 0;
    uint32_t quality_ = 0x88;
    TextureQuality texture_quality_ = TextureQuality::Nearest;
    bool dither_ = false;
    uint64_t uploads_ = 0;
};

enum class Projection { Perspective = 0, Orthographic = 1 };

// A view of a frame tree through a camera frame, with the retained-mode defaults:
// field 0.5 on the front plane at 1, back plane at 100, perspective, the square
// [-field, field]^2 fitted to the larger side of the view.
class Viewport : public Object {
public:
    // The viewport keeps a reference to the camera; the device must outlive it.
    static Viewport* Create(Device* device, Frame* camera, int x, int y, int width, int height);

    bool SetField(float field);  // false for field <= 0
    float GetField() const { return field_; }
    bool SetFront(float front);  // false for front <= 0
    float GetFront() const { return front_; }
    bool SetBack(float back);    // false for back <= front
    float GetBack() const { return back_; }
    void SetProjection(Projection p) { projection_ = p; }
    Projection GetProjection() const { return projection_; }
    Frame* Camera() const { return camera_; }

    // Fills the view with the background of the camera's scene (root) frame, its
    // image stretched over the view when it has one, and clears the depth buffer.
    bool Clear(uint32_t flags = kClearAll);
    // Draws the tree below frame as the camera sees it.
    bool Render(Frame* frame);
    // Marks an area for the next device update (the whole view is always copied).
    void ForceUpdate(int x1, int y1, int x2, int y2);

    // The projection in row-vector form (clip = view * P), GL depth range.
    Mat4 ProjectionMatrix() const;
    // Where a world point lands, in pixels from the view's top-left corner; false
    // when it is behind the front plane.
    bool ProjectPoint(Vec3 world, float* sx, float* sy) const;

private:
    Viewport(Device* d, Frame* camera, int x, int y, int w, int h);
    ~Viewport() override;
    Device* device_;
    Frame* camera_;
    int x_, y_, w_, h_;
    float field_ = 0.5f, front_ = 1.0f, back_ = 100.0f;
    Projection projection_ = Projection::Perspective;
    int dirty_[4] = {0, 0, 0, 0};
};

}  // namespace platform::rm
