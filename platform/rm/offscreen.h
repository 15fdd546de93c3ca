// An OpenGL 3.3 core context that draws nowhere on screen, for the model tool and the
// tests (the device draws into buffers of its own): on Linux EGL on Mesa, surfaceless
// (or the device platform), no display needed (offscreen_egl.cpp); on Windows WGL on
// a hidden window of the context's own (offscreen_wgl.cpp).
#pragma once

#include <memory>
#include <string>

namespace platform::rm {

class OffscreenContext {
public:
    // Creates the context and makes it current. Null with a reason on failure.
    static std::unique_ptr<OffscreenContext> Create(std::string* error = nullptr);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;
    bool MakeCurrent();
    // The GL renderer string, for reports.
    std::string Renderer() const;

private:
    OffscreenContext() = default;
    void* display_ = nullptr;  // the EGL display, or the hidden window's device context
    void* context_ = nullptr;
    // The hidden window (Windows); EGL has none.
    [[maybe_unused]] void* window_ = nullptr;
};

}  // namespace platform::rm
