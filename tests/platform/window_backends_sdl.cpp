// The target's desktop on Linux: the SDL backend, and plain X windows of a connection
// of the test's own as other programs' windows.
#include <X11/Xlib.h>

#include "tests/platform/window_backends.h"

TargetDesktop::TargetDesktop() = default;

TargetDesktop::~TargetDesktop() {
    if (native) XCloseDisplay(static_cast<Display*>(native));
}

std::unique_ptr<platform::WindowBackend> TargetDesktop::Make() {
    if (!native) native = XOpenDisplay(nullptr);
    if (!native) return nullptr;
    return platform::CreateSdlWindowBackend();
}

std::uint64_t TargetDesktop::MakeParent(int width, int height) {
    auto* display = static_cast<Display*>(native);
    const Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                         static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, 0, 0);
    XMapWindow(display, w);
    XSync(display, False);
    return w;
}

void TargetDesktop::DestroyParent(std::uint64_t id) {
    auto* display = static_cast<Display*>(native);
    XDestroyWindow(display, static_cast<Window>(id));
    XSync(display, False);
}
