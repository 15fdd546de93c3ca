// GL contexts through SDL; display modes through RandR on the primary monitor's CRTC,
// where full screen stands, so that no other monitor changes (SDL's own switch sets the
// screen's size from the mode, which turns off a monitor beside the origin). The mode
// the desktop had is noted, so that every way out can give it back.
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>

#include "platform/gl_surface/gl_surface.h"
#include "platform/monitors/monitors_x11.h"
#include "platform/window/window_sdl.h"

namespace platform {

namespace {

SDL_Window* SdlWindow(WindowHandle window) { return SdlWindowOf(window); }

Display* XDisplayOf(SDL_Window* w) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    return info.info.x11.display;
}

class SdlGlSurface : public GlSurface {
public:
    SdlGlSurface(SDL_Window* window, SDL_GLContext context) : window_(window), context_(context) {}
    ~SdlGlSurface() override { SDL_GL_DeleteContext(context_); }

    void MakeCurrent() override { SDL_GL_MakeCurrent(window_, context_); }
    void SetSwapInterval(int interval) override { SDL_GL_SetSwapInterval(interval); }
    void BindWindowFramebuffer() override {
        using BindFramebuffer = void (*)(unsigned target, unsigned framebuffer);
        static auto bind =
            reinterpret_cast<BindFramebuffer>(SDL_GL_GetProcAddress("glBindFramebuffer"));
        constexpr unsigned kDrawFramebuffer = 0x8CA9;
        if (bind) bind(kDrawFramebuffer, 0);
    }
    void ClearToBlack() override {
        using ClearColor = void (*)(float, float, float, float);
        using Clear = void (*)(unsigned mask);
        static auto clearColor =
            reinterpret_cast<ClearColor>(SDL_GL_GetProcAddress("glClearColor"));
        static auto clear = reinterpret_cast<Clear>(SDL_GL_GetProcAddress("glClear"));
        constexpr unsigned kColorBufferBit = 0x4000;
        if (!clearColor || !clear) return;
        clearColor(0.0f, 0.0f, 0.0f, 1.0f);
        clear(kColorBufferBit);
    }
    bool SwapBuffers() override {
        SDL_GL_SwapWindow(window_);
        return true;
    }
    void DrawableSize(int* width, int* height) override {
        SDL_GL_GetDrawableSize(window_, width, height);
    }

private:
    SDL_Window* window_;
    SDL_GLContext context_;
};

}  // namespace

std::unique_ptr<GlSurface> GlSurface::Create(WindowHandle window) {
    SDL_Window* w = SdlWindow(window);
    // SDL does not survive making a context on a window that has gone.
    if (!w || !IsWindowAlive(window)) return nullptr;
    // Tests of a start without GL (the lock's scene that cannot draw) ask for none.
    if (const char* none = std::getenv("ORBSAVER_TEST_NO_GL"); none && *none == '1') return nullptr;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(w);
    if (!context) return nullptr;
    if (SDL_GL_MakeCurrent(w, context) != 0) {
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    // Present once per refresh; the frame loop has no other pacing.
    SDL_GL_SetSwapInterval(1);
    return std::make_unique<SdlGlSurface>(w, context);
}

bool EnterFullScreen(WindowHandle window, int width, int height, int bitsPerPixel) {
    SDL_Window* w = SdlWindow(window);
    Display* x = w ? XDisplayOf(w) : nullptr;
    if (!x) return false;
    // The monitor must offer the size itself; its depth is the desktop's.
    const int desktop = DesktopBitsPerPixel();
    if (bitsPerPixel != desktop && !(bitsPerPixel == 24 && desktop == 32)) return false;
    ScreenRect monitor;
    if (!SwitchPrimaryMode(x, width, height, &monitor)) return false;
    // The window takes the monitor's place and size exactly, above everything.
    SDL_SetWindowPosition(w, monitor.x, monitor.y);
    SDL_SetWindowSize(w, monitor.width, monitor.height);
    SDL_RaiseWindow(w);
    return true;
}

bool EnterDesktopFullScreen(WindowHandle window) {
    SDL_Window* w = SdlWindow(window);
    if (!w) return false;
    // Placed over the monitor first: without a window manager nobody acts on the
    // full-screen request, and with one the request then changes nothing.
    const int display = SDL_GetWindowDisplayIndex(w);
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) != 0) return false;
    SDL_SetWindowPosition(w, bounds.x, bounds.y);
    SDL_SetWindowSize(w, bounds.w, bounds.h);
    return SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
}

void LeaveFullScreen(WindowHandle window) {
    SDL_Window* w = SdlWindow(window);
    if (!w) return;
    SDL_SetWindowFullscreen(w, 0);
    // SDL puts the mode back itself; this makes sure the server has done so before
    // the process may end.
    if (Display* x = XDisplayOf(w)) RestoreDesktopMode(x);
}

int DisplayRefreshRate(WindowHandle window) {
    SDL_Window* w = SdlWindow(window);
    if (!w) return 0;
    SDL_DisplayMode mode;
    // A window covering its monitor in a mode of its own shows at that mode's rate.
    if ((SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN &&
        SDL_GetWindowDisplayMode(w, &mode) == 0 && mode.refresh_rate > 0) {
        return mode.refresh_rate;
    }
    const int display = SDL_GetWindowDisplayIndex(w);
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) != 0) return 0;
    return mode.refresh_rate > 0 ? mode.refresh_rate : 0;
}

int DesktopBitsPerPixel() {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 24;
    return static_cast<int>(SDL_BITSPERPIXEL(mode.format));
}

}  // namespace platform
