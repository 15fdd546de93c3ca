// An OpenGL 3.3 core context that draws into one of our windows, with a present
// that waits for the display, and the display modes of full-screen drawing.
#pragma once

#include <memory>

#include "platform/window/window.h"

namespace platform {

class GlSurface {
public:
    // A context on the window, made current, presenting once per display refresh.
    // Nothing when the window has no desktop side or GL 3.3 core is not to be had.
    static std::unique_ptr<GlSurface> Create(WindowHandle window);
    virtual ~GlSurface() = default;

    virtual void MakeCurrent() = 0;
    // 1 (the default) presents once per display refresh; 0 as fast as it can.
    virtual void SetSwapInterval(int interval) = 0;
    // Binds the window's own framebuffer for drawing.
    virtual void BindWindowFramebuffer() = 0;
    // Fills the bound framebuffer with black.
    virtual void ClearToBlack() = 0;
    // Shows what was drawn into the window's framebuffer; waits for the display.
    virtual bool SwapBuffers() = 0;
    // The window's size in drawable pixels.
    virtual void DrawableSize(int* width, int* height) = 0;
    // False when the window's framebuffer is a buffer of the surface's own that each
    // present copies into the window: a frame is then drawn elsewhere and presented
    // into that buffer, never drawn into it directly.
    virtual bool DrawsIntoTheWindowItself() const { return true; }
};

// Makes the window cover its monitor in the given display mode. False, with the
// window left as it was, when the desktop cannot set that mode.
bool EnterFullScreen(WindowHandle window, int width, int height, int bitsPerPixel);
// Makes the window cover its monitor at the monitor's own mode. False, with the
// window left as it was, when the desktop will not.
bool EnterDesktopFullScreen(WindowHandle window);
// Gives the monitor back its own mode and the window its normal place, so that a
// dialog can be seen over it.
void LeaveFullScreen(WindowHandle window);
// Bits per pixel of the desktop.
int DesktopBitsPerPixel();
// The refresh rate in hertz of the display mode the window is shown in; 0 when the
// desktop does not say (or the window has no desktop side).
int DisplayRefreshRate(WindowHandle window);

}  // namespace platform
