// GL contexts through WGL on the Win32 backend's windows: a pixel format on the
// window's own device context, a first context of the old kind only to ask for
// wglCreateContextAttribsARB, then the 3.3 core context the 3D layer draws with.
// Display modes change on the primary monitor alone (platform/monitors/monitors_win32),
// and every way out gives the desktop's back.
#include "platform/gl_surface/gl_surface.h"
#include "platform/monitors/monitor_layout.h"
#include "platform/monitors/monitors_win32.h"
#include "platform/window/window.h"
#include "platform/window/window_win32.h"
#include "platform/win32_api.h"
#include "platform/gl_surface/gl_surface_wgl_parts.h"

namespace platform {

namespace {

// WGL_ARB_create_context and WGL_ARB_create_context_profile.
constexpr int kContextMajorVersion = 0x2091;
constexpr int kContextMinorVersion = 0x2092;
constexpr int kContextFlags = 0x2094;
constexpr int kContextProfileMask = 0x9126;
constexpr int kContextCoreProfileBit = 0x0001;
constexpr int kContextForwardCompatibleBit = 0x0002;

using CreateContextAttribs = HGLRC(WINAPI*)(HDC, HGLRC, const int*);
using SwapInterval = BOOL(WINAPI*)(int);
using BindFramebuffer = void(APIENTRY*)(GLenum, GLuint);

HWND WindowHwnd(WindowHandle window) { return Win32WindowOf(window); }

}  // namespace

namespace wgl {

bool SetPixelFormatOn(HDC dc) {
    if (GetPixelFormat(dc) != 0) return true;
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cAlphaBits = 8;
    pfd.cDepthBits = 24;
    pfd.cStencilBits = 8;
    pfd.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc, &pfd);
    if (format == 0) return false;
    PIXELFORMATDESCRIPTOR chosen{};
    DescribePixelFormat(dc, format, sizeof chosen, &chosen);
    return SetPixelFormat(dc, format, &chosen) != FALSE;
}

HGLRC CreateCoreContext(HDC dc) {
    const HGLRC first = wglCreateContext(dc);
    if (!first) return nullptr;
    HGLRC core = nullptr;
    if (wglMakeCurrent(dc, first)) {
        if (const auto create = ProcAddress<CreateContextAttribs>("wglCreateContextAttribsARB")) {
            const int attributes[] = {kContextMajorVersion, 3, kContextMinorVersion, 3,
                                      kContextProfileMask, kContextCoreProfileBit,
                                      kContextFlags, kContextForwardCompatibleBit, 0};
            core = create(dc, nullptr, attributes);
        }
    }
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(first);
    return core;
}

bool ShownByCopy(HWND window) {
    if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) return false;
    const HWND parent = GetParent(window);
    DWORD process = 0;
    return parent && GetWindowThreadProcessId(parent, &process) && process == GetCurrentProcessId();
}

}  // namespace wgl

namespace {

using wgl::kDrawFramebuffer;
using wgl::ProcAddress;

class WglSurface : public GlSurface {
public:
    WglSurface(HWND window, HDC dc, HGLRC context) : window_(window), dc_(dc), context_(context) {}
    ~WglSurface() override {
        if (wglGetCurrentContext() == context_) wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context_);
        // The window's own device context (CS_OWNDC) goes with the window itself.
    }

    void MakeCurrent() override { wglMakeCurrent(dc_, context_); }

    void SetSwapInterval(int interval) override {
        if (const auto swap = ProcAddress<SwapInterval>("wglSwapIntervalEXT")) swap(interval);
    }

    void BindWindowFramebuffer() override {
        if (!bind_) bind_ = ProcAddress<BindFramebuffer>("glBindFramebuffer");
        if (bind_) bind_(kDrawFramebuffer, 0);
    }

    void ClearToBlack() override {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    bool SwapBuffers() override {
        // The window may have gone with its parent; there is nothing to show then.
        if (!::IsWindow(window_)) return false;
        return ::SwapBuffers(dc_) != FALSE;
    }

    void DrawableSize(int* width, int* height) override {
        RECT r{};
        GetClientRect(window_, &r);
        *width = r.right - r.left;
        *height = r.bottom - r.top;
    }

private:
    HWND window_;
    HDC dc_;
    HGLRC context_;
    BindFramebuffer bind_ = nullptr;
};

// Puts the window over the rectangle, above every other window.
void CoverRect(HWND hwnd, const ScreenRect& r) {
    SetWindowPos(hwnd, HWND_TOPMOST, r.x, r.y, r.width, r.height, SWP_SHOWWINDOW);
}

}  // namespace

std::unique_ptr<GlSurface> GlSurface::Create(WindowHandle window) {
    const HWND hwnd = WindowHwnd(window);
    if (!hwnd || !::IsWindow(hwnd)) return nullptr;
    if (wgl::ShownByCopy(hwnd)) return wgl::CreateCopiedSurface(hwnd);
    const HDC dc = GetDC(hwnd);
    if (!dc) return nullptr;
    if (!wgl::SetPixelFormatOn(dc)) return nullptr;
    const HGLRC context = wgl::CreateCoreContext(dc);
    if (!context) return nullptr;
    if (!wglMakeCurrent(dc, context)) {
        wglDeleteContext(context);
        return nullptr;
    }
    auto surface = std::make_unique<WglSurface>(hwnd, dc, context);
    // Present once per refresh where the driver can wait for it; the frame pacer
    // keeps the pace where it cannot.
    surface->SetSwapInterval(1);
    return surface;
}

bool EnterFullScreen(WindowHandle window, int width, int height, int bitsPerPixel) {
    const HWND hwnd = WindowHwnd(window);
    if (!hwnd) return false;
    ScreenRect monitor;
    if (!SwitchPrimaryMode(width, height, bitsPerPixel, &monitor)) return false;
    CoverRect(hwnd, monitor);
    return true;
}

bool EnterDesktopFullScreen(WindowHandle window) {
    const HWND hwnd = WindowHwnd(window);
    ScreenRect monitor;
    if (!hwnd || !PrimaryMonitorRect(&monitor)) return false;
    CoverRect(hwnd, monitor);
    return true;
}

void LeaveFullScreen(WindowHandle window) {
    RestoreDesktopMode();
    // Off the top, so that a dialog can be seen over it.
    if (const HWND hwnd = WindowHwnd(window)) {
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

int DesktopBitsPerPixel() { return DesktopModeBitsPerPixel(); }

int DisplayRefreshRate(WindowHandle window) {
    const HWND hwnd = WindowHwnd(window);
    RECT r{};
    if (!hwnd || !GetWindowRect(hwnd, &r)) return 0;
    return MonitorRefreshRate((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

}  // namespace platform
