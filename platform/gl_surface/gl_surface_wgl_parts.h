// What the two WGL surfaces share: the pixel format, the 3.3 core context and the
// functions of the current context. Included by the WGL backend's files only, after
// platform/win32_api.h.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/gl_surface/gl_surface.h"

#include <GL/gl.h>

namespace platform::wgl {

// GL 3.0's framebuffer target for drawing, which <GL/gl.h> (1.1) does not name.
inline constexpr GLenum kDrawFramebuffer = 0x8CA9;

// A function of the context that is current; opengl32 answers only for the current
// context's driver, and some drivers answer 1, 2, 3 or -1 for "none".
template <class F>
F ProcAddress(const char* name) {
    const PROC p = wglGetProcAddress(name);
    const auto value = reinterpret_cast<std::intptr_t>(p);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) return nullptr;
    // Through void (*)(), which any function pointer may be cast to and back from.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

// A double-buffered 32-bit RGBA format with a depth buffer on the device context;
// a window keeps the format it was given first.
bool SetPixelFormatOn(HDC dc);

// The 3.3 core context, or null when the driver has none.
HGLRC CreateCoreContext(HDC dc);

// True for a child of a window of this very process, such as the preview inside the
// configuration dialog: such a window is shown by copy (CreateCopiedSurface).
bool ShownByCopy(HWND window);

// A surface for a child window that draws into a framebuffer of its own, on a context
// of a hidden window, and copies each frame into the child with GDI. The child gets
// no pixel format: some systems (Wine among them) never show a GL child window inside
// another window of the same program, while GDI's drawing is shown everywhere. The
// frame is small (a preview), so the copy costs little.
std::unique_ptr<GlSurface> CreateCopiedSurface(HWND window);

}  // namespace platform::wgl
