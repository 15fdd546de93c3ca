// EGL set-up of a window-less GL 3.3 core context (Mesa's surfaceless platform first,
// then the device platform, then the default display).
#include "platform/rm/offscreen.h"

#include <epoxy/egl.h>
#include "platform/gl/gl_api.h"

namespace platform::rm {

namespace {

EGLDisplay OpenDisplay() {
    const bool has_platform = epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_EXT_platform_base");
    if (has_platform && epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
    }
    if (has_platform && epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_EXT_device_enumeration")) {
        EGLDeviceEXT devices[4];
        EGLint n = 0;
        if (eglQueryDevicesEXT(4, devices, &n) && n > 0) {
            EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[0], nullptr);
            if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
        }
    }
    EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
    return EGL_NO_DISPLAY;
}

}  // namespace

std::unique_ptr<OffscreenContext> OffscreenContext::Create(std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return nullptr;
    };
    EGLDisplay display = OpenDisplay();
    if (display == EGL_NO_DISPLAY) return fail("no EGL display");
    if (!eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(display);
        return fail("EGL offers no desktop OpenGL");
    }
    // No surface is drawn to, so any surface type will do; pbuffer configs are the
    // ones Mesa's surfaceless platform offers.
    EGLConfig config;
    EGLint n = 0;
    for (EGLint surface : {EGLint(EGL_PBUFFER_BIT), EGLint(EGL_DONT_CARE)}) {
        const EGLint config_attrs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, surface, EGL_NONE};
        if (eglChooseConfig(display, config_attrs, &config, 1, &n) && n > 0) break;
        n = 0;
    }
    if (n == 0) {
        eglTerminate(display);
        return fail("no EGL config for desktop OpenGL");
    }
    const EGLint ctx_attrs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    EGLContext ctx = eglCreateContext(display, config, EGL_NO_CONTEXT, ctx_attrs);
    if (ctx == EGL_NO_CONTEXT) {
        eglTerminate(display);
        return fail("cannot create an OpenGL 3.3 core context");
    }
    std::unique_ptr<OffscreenContext> c(new OffscreenContext());
    c->display_ = display;
    c->context_ = ctx;
    if (!c->MakeCurrent()) return fail("cannot make the off-screen context current");
    return c;
}

OffscreenContext::~OffscreenContext() {
    if (!display_) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglTerminate(display_);
}

bool OffscreenContext::MakeCurrent() {
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
}

std::string OffscreenContext::Renderer() const {
    const GLubyte* s = glGetString(GL_RENDERER);
    return s ? reinterpret_cast<const char*>(s) : "";
}

}  // namespace platform::rm
