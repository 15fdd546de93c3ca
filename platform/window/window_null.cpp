// The window backend without a desktop: windows are only handles, no events arrive
// by themselves, and no window of any other program exists. Tests may hand in
// desktop events from another thread; a wait then ends at once.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

#include "platform/window/window.h"

namespace platform {

namespace {

class NullWindowBackend : public TestDesktop {
public:
    bool Create(WindowHandle window, const std::string&, std::uint32_t, int, int, int width,
                int height, std::uint64_t) override {
        sizes_[window] = {width, height};
        return true;
    }
    void Destroy(WindowHandle window) override { sizes_.erase(window); }
    void Pump(void (*post)(const Msg&)) override {
        std::vector<Msg> events;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (delivered_.empty()) return;
            events.swap(delivered_);
        }
        for (const Msg& m : events) post(m);
    }
    void Wait(int milliseconds) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (milliseconds <= 0) return;
        woken_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [&] { return !delivered_.empty(); });
    }
    void Deliver(const Msg& msg) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            delivered_.push_back(msg);
        }
        woken_.notify_all();
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
    void Focus(WindowHandle) override {}
    bool ForeignWindowSize(std::uint64_t, int*, int*) override { return false; }
    std::uint64_t DesktopWindowId() override { return 0; }
    bool Alive(WindowHandle window) override { return sizes_.count(window) != 0; }

private:
    std::map<WindowHandle, std::pair<int, int>> sizes_;
    std::mutex mutex_;
    std::condition_variable woken_;
    std::vector<Msg> delivered_;
};

// The desktop could not be reached: nothing can be made on it.
class NoDesktopWindowBackend : public NullWindowBackend {
public:
    bool Create(WindowHandle, const std::string&, std::uint32_t, int, int, int, int,
                std::uint64_t) override {
        return false;
    }
};

}  // namespace

std::unique_ptr<WindowBackend> CreateNoDesktopWindowBackend() {
    return std::make_unique<NoDesktopWindowBackend>();
}

std::unique_ptr<WindowBackend> CreateNullWindowBackend() {
    return std::make_unique<NullWindowBackend>();
}

std::unique_ptr<TestDesktop> CreateTestDesktop() { return std::make_unique<NullWindowBackend>(); }

}  // namespace platform
