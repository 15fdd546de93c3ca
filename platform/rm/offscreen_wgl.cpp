// WGL set-up of an OpenGL 3.3 core context on a hidden window of its own: a window's
// device context gets a GL pixel format, a first (legacy) context lets the loader
// find WGL_ARB_create_context, and that makes the 3.3 core context; the legacy one
// then goes. Nothing is ever shown: the device draws into framebuffers of its own.
#include "platform/rm/offscreen.h"

#include "platform/gl/wgl_api.h"

namespace platform::rm {

namespace {

constexpr char kWindowClass[] = "orbsaver off-screen GL";

bool RegisterWindowClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// A pixel format for OpenGL on a window without a depth buffer: nothing is drawn into
// the window's own buffers, and a context with no deep depth buffer there makes the
// device keep to buffers of its own, as it does with a context that has no window.
// 0 when there is none.
int PixelFormatWithoutDepth(HDC dc) {
    PIXELFORMATDESCRIPTOR pfd{};
    const int count = DescribePixelFormat(dc, 1, sizeof pfd, &pfd);
    const DWORD needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    for (int i = 1; i <= count; ++i) {
        if (!DescribePixelFormat(dc, i, sizeof pfd, &pfd)) continue;
        if ((pfd.dwFlags & needed) == needed && pfd.iPixelType == PFD_TYPE_RGBA && pfd.cColorBits >= 24 &&
            pfd.cDepthBits == 0 && (pfd.dwFlags & PFD_GENERIC_FORMAT) == 0)
            return i;
    }
    return 0;
}

// Takes the hidden window and its device context apart again, as far as they were made.
void Release(HWND window, HDC dc) {
    if (dc) ReleaseDC(window, dc);
    if (window) DestroyWindow(window);
}

}  // namespace

std::unique_ptr<OffscreenContext> OffscreenContext::Create(std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return nullptr;
    };
    if (!RegisterWindowClass()) return fail("cannot register the off-screen window's class");
    HWND window = CreateWindowExA(0, kWindowClass, "", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 16, 16,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return fail("cannot make the off-screen window");
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.iLayerType = PFD_MAIN_PLANE;
    int format = dc ? PixelFormatWithoutDepth(dc) : 0;
    if (format == 0 && dc) format = ChoosePixelFormat(dc, &pfd);
    if (format == 0 || !DescribePixelFormat(dc, format, sizeof pfd, &pfd) || !SetPixelFormat(dc, format, &pfd)) {
        Release(window, dc);
        return fail("no OpenGL pixel format");
    }
    HGLRC legacy = wglCreateContext(dc);
    if (!legacy || !wglMakeCurrent(dc, legacy)) {
        if (legacy) wglDeleteContext(legacy);
        Release(window, dc);
        return fail("cannot create an OpenGL context");
    }
    HGLRC context = nullptr;
    if (gladLoaderLoadWGL(dc) && GLAD_WGL_ARB_create_context && GLAD_WGL_ARB_create_context_profile) {
        const int attributes[] = {WGL_CONTEXT_MAJOR_VERSION_ARB, 3, WGL_CONTEXT_MINOR_VERSION_ARB, 3,
                                  WGL_CONTEXT_PROFILE_MASK_ARB, WGL_CONTEXT_CORE_PROFILE_BIT_ARB, 0};
        context = wglCreateContextAttribsARB(dc, nullptr, attributes);
    }
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(legacy);
    if (!context) {
        Release(window, dc);
        return fail("cannot create an OpenGL 3.3 core context");
    }
    std::unique_ptr<OffscreenContext> c(new OffscreenContext());
    c->window_ = window;
    c->display_ = dc;
    c->context_ = context;
    if (!c->MakeCurrent()) return fail("cannot make the off-screen context current");
    if (gl::LoadCurrentContext().version < 33) return fail("the off-screen context does not offer OpenGL 3.3");
    return c;
}

OffscreenContext::~OffscreenContext() {
    if (!context_) return;
    if (wglGetCurrentContext() == static_cast<HGLRC>(context_)) wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(static_cast<HGLRC>(context_));
    Release(static_cast<HWND>(window_), static_cast<HDC>(display_));
}

bool OffscreenContext::MakeCurrent() {
    return wglMakeCurrent(static_cast<HDC>(display_), static_cast<HGLRC>(context_)) != FALSE;
}

std::string OffscreenContext::Renderer() const {
    const GLubyte* s = glGetString(GL_RENDERER);
    return s ? reinterpret_cast<const char*>(s) : "";
}

}  // namespace platform::rm
