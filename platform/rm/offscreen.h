// An OpenGL 3.3 core context with no window, for the model tool and the tests:
// EGL on Mesa, surfaceless (or the device platform), no display needed.
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
    void* display_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace platform::rm
