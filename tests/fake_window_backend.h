// A desktop for tests that remembers what was asked of it: where the pointer went,
// whether it shows, which window has the focus and which holds the keyboard and
// pointer. It can refuse the grabs, as a desktop does while another program holds them.
#pragma once

#include <chrono>
#include <map>
#include <thread>

#include "platform/window/window.h"

namespace testing_desktop {

class FakeWindowBackend : public platform::WindowBackend {
  public:
    bool Create(platform::WindowHandle window, const std::string&, std::uint32_t, int, int,
                int width, int height, std::uint64_t) override {
        sizes_[window] = {width, height};
        return true;
    }
    void Destroy(platform::WindowHandle window) override {
        sizes_.erase(window);
        if (holder == window) holder = 0;
    }
    void Pump(void (*)(const platform::Msg&)) override {}
    void Wait(int milliseconds) override {
        if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    bool ClassExists(const std::string&) override { return false; }
    void SetCursorVisible(bool visible) override { cursorShown = visible; }
    void SetCursorPosition(int x, int y) override {
        pointerX = x;
        pointerY = y;
    }
    bool ClientSize(platform::WindowHandle window, int* width, int* height) override {
        auto it = sizes_.find(window);
        if (it == sizes_.end()) return false;
        *width = it->second.first;
        *height = it->second.second;
        return true;
    }
    void Focus(platform::WindowHandle window) override { focused = window; }
    bool ForeignWindowSize(std::uint64_t, int*, int*) override { return false; }
    std::uint64_t DesktopWindowId() override { return 0; }
    bool Alive(platform::WindowHandle window) override { return sizes_.count(window) != 0; }
    bool Grab(platform::WindowHandle window, bool grab) override {
        if (!grab) {
            if (holder == window) holder = 0;
            return true;
        }
        ++grabAttempts;
        if (refuseAlways || refusals > 0) {
            if (refusals > 0) --refusals;
            return false;
        }
        holder = window;
        return true;
    }

    int pointerX = -1, pointerY = -1;
    bool cursorShown = true;
    platform::WindowHandle focused = 0;
    platform::WindowHandle holder = 0;  // holds the keyboard and pointer
    int grabAttempts = 0;
    int refusals = 0;  // grabs refused before one is granted
    bool refuseAlways = false;

  private:
    std::map<platform::WindowHandle, std::pair<int, int>> sizes_;
};

// Installs a fake desktop and returns it; the window system owns it.
inline FakeWindowBackend& InstallFakeDesktop() {
    auto backend = std::make_unique<FakeWindowBackend>();
    FakeWindowBackend& fake = *backend;
    platform::SetWindowBackend(std::move(backend));
    return fake;
}

}  // namespace testing_desktop
