// The WGL surface of a child window that is shown by copy: the context belongs to a
// hidden window of its own, the frame is presented into a framebuffer of the child's
// size, and each present reads it back and draws it into the child with GDI. The
// child itself never gets a pixel format.
#include "platform/gl_surface/gl_surface.h"
#include "platform/win32_api.h"
#include "platform/gl_surface/gl_surface_wgl_parts.h"

#include <vector>

namespace platform::wgl {

namespace {

constexpr GLenum kFramebuffer = 0x8D40;
constexpr GLenum kReadFramebuffer = 0x8CA8;
constexpr GLenum kRenderbuffer = 0x8D41;
constexpr GLenum kRgba8 = 0x8058;
constexpr GLenum kColorAttachment0 = 0x8CE0;
constexpr GLenum kFramebufferComplete = 0x8CD5;
constexpr GLenum kBgra = 0x80E1;

constexpr wchar_t kHostClass[] = L"orbsaver GL host";

struct FramebufferFunctions {
    void(APIENTRY* genFramebuffers)(GLsizei, GLuint*) = nullptr;
    void(APIENTRY* deleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
    void(APIENTRY* bindFramebuffer)(GLenum, GLuint) = nullptr;
    void(APIENTRY* genRenderbuffers)(GLsizei, GLuint*) = nullptr;
    void(APIENTRY* deleteRenderbuffers)(GLsizei, const GLuint*) = nullptr;
    void(APIENTRY* bindRenderbuffer)(GLenum, GLuint) = nullptr;
    void(APIENTRY* renderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
    void(APIENTRY* framebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
    GLenum(APIENTRY* checkFramebufferStatus)(GLenum) = nullptr;

    // Of the context that is current; false when one is missing.
    bool Load() {
        genFramebuffers = ProcAddress<decltype(genFramebuffers)>("glGenFramebuffers");
        deleteFramebuffers = ProcAddress<decltype(deleteFramebuffers)>("glDeleteFramebuffers");
        bindFramebuffer = ProcAddress<decltype(bindFramebuffer)>("glBindFramebuffer");
        genRenderbuffers = ProcAddress<decltype(genRenderbuffers)>("glGenRenderbuffers");
        deleteRenderbuffers = ProcAddress<decltype(deleteRenderbuffers)>("glDeleteRenderbuffers");
        bindRenderbuffer = ProcAddress<decltype(bindRenderbuffer)>("glBindRenderbuffer");
        renderbufferStorage = ProcAddress<decltype(renderbufferStorage)>("glRenderbufferStorage");
        framebufferRenderbuffer =
            ProcAddress<decltype(framebufferRenderbuffer)>("glFramebufferRenderbuffer");
        checkFramebufferStatus =
            ProcAddress<decltype(checkFramebufferStatus)>("glCheckFramebufferStatus");
        return genFramebuffers && deleteFramebuffers && bindFramebuffer && genRenderbuffers &&
               deleteRenderbuffers && bindRenderbuffer && renderbufferStorage &&
               framebufferRenderbuffer && checkFramebufferStatus;
    }
};

// A hidden window that only holds the pixel format and the context.
HWND CreateHostWindow() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = kHostClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return CreateWindowExW(0, kHostClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance,
                           nullptr);
}

class CopiedSurface : public GlSurface {
public:
    CopiedSurface(HWND window, HWND host, HDC hostDc, HGLRC context, const FramebufferFunctions& gl)
        : window_(window), host_(host), hostDc_(hostDc), context_(context), gl_(gl) {}

    ~CopiedSurface() override {
        if (wglMakeCurrent(hostDc_, context_)) {
            if (framebuffer_) gl_.deleteFramebuffers(1, &framebuffer_);
            if (color_) gl_.deleteRenderbuffers(1, &color_);
        }
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context_);
        DestroyWindow(host_);
    }

    void MakeCurrent() override { wglMakeCurrent(hostDc_, context_); }

    // Nothing waits for the display here: the frame pacer keeps the pace.
    void SetSwapInterval(int) override {}

    void BindWindowFramebuffer() override {
        int w = 0, h = 0;
        DrawableSize(&w, &h);
        if (!MatchSize(w, h)) {
            gl_.bindFramebuffer(kDrawFramebuffer, 0);
            return;
        }
        gl_.bindFramebuffer(kDrawFramebuffer, framebuffer_);
    }

    void ClearToBlack() override {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    bool SwapBuffers() override {
        // The window may have gone with its parent; there is nothing to show then.
        if (!::IsWindow(window_)) return false;
        if (!framebuffer_ || width_ <= 0 || height_ <= 0) return true;
        gl_.bindFramebuffer(kReadFramebuffer, framebuffer_);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        // Rows come bottom first, as a DIB with a positive height keeps them.
        glReadPixels(0, 0, width_, height_, kBgra, GL_UNSIGNED_BYTE, pixels_.data());
        gl_.bindFramebuffer(kReadFramebuffer, 0);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        const HDC dc = GetDC(window_);
        if (!dc) return false;
        const int rows = SetDIBitsToDevice(dc, 0, 0, DWORD(width_), DWORD(height_), 0, 0, 0,
                                           UINT(height_), pixels_.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(window_, dc);
        return rows > 0;
    }

    void DrawableSize(int* width, int* height) override {
        RECT r{};
        GetClientRect(window_, &r);
        *width = r.right - r.left;
        *height = r.bottom - r.top;
    }

    bool DrawsIntoTheWindowItself() const override { return false; }

private:
    // The framebuffer and the read-back buffer at the window's size; they are made
    // again only when that size changes.
    bool MatchSize(int w, int h) {
        if (framebuffer_ && w == width_ && h == height_) return true;
        if (w <= 0 || h <= 0) return false;
        if (!framebuffer_) gl_.genFramebuffers(1, &framebuffer_);
        if (!color_) gl_.genRenderbuffers(1, &color_);
        gl_.bindRenderbuffer(kRenderbuffer, color_);
        gl_.renderbufferStorage(kRenderbuffer, kRgba8, w, h);
        gl_.bindRenderbuffer(kRenderbuffer, 0);
        gl_.bindFramebuffer(kFramebuffer, framebuffer_);
        gl_.framebufferRenderbuffer(kFramebuffer, kColorAttachment0, kRenderbuffer, color_);
        const bool complete = gl_.checkFramebufferStatus(kFramebuffer) == kFramebufferComplete;
        gl_.bindFramebuffer(kFramebuffer, 0);
        if (!complete) {
            width_ = height_ = 0;
            return false;
        }
        width_ = w;
        height_ = h;
        pixels_.assign(std::size_t(w) * std::size_t(h) * 4, 0);
        return true;
    }

    HWND window_;
    HWND host_;
    HDC hostDc_;
    HGLRC context_;
    FramebufferFunctions gl_;
    GLuint framebuffer_ = 0;
    GLuint color_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<unsigned char> pixels_;
};

}  // namespace

std::unique_ptr<GlSurface> CreateCopiedSurface(HWND window) {
    const HWND host = CreateHostWindow();
    if (!host) return nullptr;
    const HDC dc = GetDC(host);
    HGLRC context = nullptr;
    FramebufferFunctions gl;
    if (dc && SetPixelFormatOn(dc) && (context = CreateCoreContext(dc)) &&
        wglMakeCurrent(dc, context) && gl.Load()) {
        return std::make_unique<CopiedSurface>(window, host, dc, context, gl);
    }
    wglMakeCurrent(nullptr, nullptr);
    if (context) wglDeleteContext(context);
    DestroyWindow(host);
    return nullptr;
}

}  // namespace platform::wgl
