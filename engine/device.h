// The render device: everything between the saver window and the 3D scene. A GL
// context on the window stands for the display driver and its primary surface, the
// 3D layer's device for the render target with its depth buffer and the 3D devices,
// and its viewport for the viewport. Full screen tries the display-mode table and
// falls back to drawing windowed; presenting waits for the display.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gl_surface/gl_surface.h"
#include "platform/rm/device.h"
#include "platform/rm/overlay2d.h"
#include "platform/window/window.h"

namespace engine {

struct DisplayMode {
    std::int32_t width, height, bitsPerPixel;
};

// Tried in this order when 800 x 600 x 16 cannot be set.
inline constexpr DisplayMode kDisplayModeTable[6] = {
    {800, 600, 16}, {800, 600, 8}, {800, 600, 24}, {640, 480, 16}, {640, 480, 8}, {640, 480, 24},
};

enum class FullScreenKind : std::int32_t {
    None,
    // The monitor shows one of the table's display modes.
    DisplayMode,
    // The monitor keeps its own mode, and the 800 x 600 frame is scaled onto it with
    // its proportions kept, black around it.
    Scaled,
};

struct RenderDevice {
    // The GL context on the window: the display object and its primary surface.
    std::unique_ptr<platform::GlSurface> surface;
    // The render target, depth buffer and 3D device.
    std::unique_ptr<platform::rm::Device> rmDevice;
    platform::rm::Viewport* viewport = nullptr;
    // Draws the overlays' pictures over the finished frame.
    std::unique_ptr<platform::rm::Overlay2D> pictures;
    // Whether the scene objects may be made: the retained-mode root.
    bool retainedMode = false;

    std::int32_t colorModel = 0;
    struct {
        std::int32_t left, top, right, bottom;
    } clientRect{};
    std::int32_t hwDriverFound = 0;
    std::int32_t windowedRequest = 0;
    std::int32_t running = 0;
    std::int32_t windowed = 0;
    std::int32_t suspended = 0;
    std::int32_t appActive = 0;
    std::int32_t fullScreen = 0;  // the window covers the monitor now
    // How the full-screen device covers the monitor; kept while a dialog is shown so
    // that the next present can cover it again.
    FullScreenKind fullScreenKind = FullScreenKind::None;
    std::int32_t modeWidth = 0, modeHeight = 0, modeBpp = 0;
    platform::WindowHandle deviceWindow = 0;
    std::uint32_t renderQuality = 0;
    std::uint32_t textureQuality = 0;
    std::int32_t dither = 0;
    std::int32_t antialias = 0;
    std::int32_t ShowFrameRate = 0;
};

RenderDevice& Device();

void ResetRenderDevice();
// Starts the device for the current mode and the saver window. A device that cannot
// be started ends the process with exit code 1.
bool StartRenderDevice();
bool CreateFullScreenDevice(platform::WindowHandle window);
// The full-screen part of the device without GL: the window covers the primary
// monitor in the first display mode of the table it offers, else at the monitor's own
// mode (the 800 x 600 view scaled onto it). The device's window, mode and kind say
// which, so that ViewPointToScreen places points as on the device, and
// ReleaseRenderDevice gives the desktop its mode back. False when neither works.
bool CoverMonitorInDisplayMode(platform::WindowHandle window);
bool CreateWindowedDevice(platform::WindowHandle window);
bool Create3DDevice();
bool RecreateWindowedDevice(platform::WindowHandle window);
bool PresentFrame();
bool RenderOnce(platform::rm::Frame* root);
bool CreateDeviceViewport(platform::rm::Frame* camera);
bool SetDeviceRunning(int value);
void RestoreLostSurfaces();
bool OnDeviceMove(platform::WindowHandle window);
bool OnDeviceSize(platform::WindowHandle window, std::uintptr_t sizeType, int width, int height);
bool OnDeviceActivate(std::uintptr_t active);
bool OnDevicePaint(platform::WindowHandle window);
// Steps out of exclusive full screen so that a dialog can be seen over the saver;
// the next present covers the monitor again.
void FlipToGdiSurface();
// Where a frame of the given size lands in a drawable of the given size: as large
// as fits with its proportions kept, centred. x and y count from the bottom left.
struct PresentRect {
    int x, y, width, height;
};
PresentRect ScaledPresentRect(int frameWidth, int frameHeight, int drawableWidth,
                              int drawableHeight);
// Moves a point of the view to where it shows on the screen: the same point, unless
// the frame is scaled onto the monitor. For placing the pointer over what is drawn.
void ViewPointToScreen(int* x, int* y);
// Releases everything; harmless to repeat.
bool ReleaseRenderDevice();

}  // namespace engine
