// The window backend without a desktop: windows are only handles, no events arrive
// by themselves, and no window of any other program exists.
#include <thread>
#include <chrono>
#include <map>

#include "platform/window.h"

namespace platform {

namespace {

class NullWindowBackend : public WindowBackend {
public:
    bool Create(WindowHandle window, const std::string&, std::uint32_t, int, int, int width,
                int height, std::uint64_t) override {
        sizes_[window] = {width, height};
        return true;
    }
    void Destroy(WindowHandle window) override { sizes_.erase(window); }
    void Pump(void (*)(const Msg&)) override {}
    void Wait(int milliseconds) override {
        if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    bool ClassExists(const std::string&) override { return false; }
    void SetCursorVisible(bool) override {}
    void SetCursorPosition(int, int) override {}
    bool ClientSize(WindowHandle window, int* width, int* height) override {
        auto it = sizes_.find(window);
        if (it == sizes_.end()) return false;
        *width = it->second.first;
        *height = it->second.second;
        return true;
    }
    void* Native(WindowHandle) override { return nullptr; }
    void Focus(WindowHandle) override {}
    bool ForeignWindowSize(std::uint64_t, int*, int*) override { return false; }
    std::uint64_t ScreenRoot() override { return 0; }
    bool Alive(WindowHandle window) override { return sizes_.count(window) != 0; }

private:
    std::map<WindowHandle, std::pair<int, int>> sizes_;
};

}  // namespace

std::unique_ptr<WindowBackend> CreateNullWindowBackend() {
    return std::make_unique<NullWindowBackend>();
}

}  // namespace platform
