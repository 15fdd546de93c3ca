// The saver window's procedure: what each window message does to the saver.
#include "shell/saver_window.h"

#include <cstdio>

#include "engine/device.h"
#include "engine/frame.h"
#include "engine/scene.h"
#include "platform/gl_surface/gl_surface.h"
#include "platform/report/report.h"
#include "settings/scene_settings.h"
#include "shell/frame_pacer.h"
#include "shell/shell_state.h"

namespace shell {

using namespace platform;

namespace {

bool IsInputMessage(std::uint32_t m) {
    switch (m) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            return true;
        default:
            return false;
    }
}

// Input would end the saver: the password check decides. A refused attempt's message
// is done with: its default handling could close the window (Alt+F4 does), and
// nothing but a passed check may do that.
LRESULT TryToEnd(WindowHandle window) {
    InputState& input = Input();
    input.askingPassword = true;
    ShowCursor(true);
    const bool passes = Services().checkPassword ? Services().checkPassword(window) : true;
    input.askingPassword = false;
    if (passes) {
        PostMessage(window, WM_CLOSE, 0, 0);
        return 0;
    }
    ShowCursor(false);
    input.lastMousePosX = input.lastMousePosY = -1;
    SetTimer(window, kPauseTimer, kPasswordPauseMilliseconds);
    return 0;
}

LRESULT OnMouseMove(WindowHandle window, WPARAM wParam, LPARAM lParam) {
    InputState& input = Input();
    if (input.ignoreInput) return DefWindowProc(window, WM_MOUSEMOVE, wParam, lParam);
    if (input.passwordPause) return 0;
    const int x = PointX(lParam);
    const int y = PointY(lParam);
    if (input.lastMousePosX == -1 && input.lastMousePosY == -1) {
        input.lastMousePosX = x;
        input.lastMousePosY = y;
        return 0;
    }
    if (x == input.lastMousePosX && y == input.lastMousePosY) return 0;
    return TryToEnd(window);
}

void ShowAbout(WindowHandle window) {
    InputState& input = Input();
    input.ignoreInput = true;
    // A lock keeps the desktop covered: the box stands over the full-screen picture.
    if (!input.locked) engine::FlipToGdiSurface();
    int x = settings::View().ViewWidth / 2, y = settings::View().ViewHeight / 2;
    engine::ViewPointToScreen(&x, &y);
    SetCursorPos(x, y);
    // A locked saver's box takes the keyboard and pointer over while it is up.
    if (Services().showAboutBox) Services().showAboutBox(window);
    FocusWindow(window);
    if (input.locked && !GrabInput(window, true, kGrabPatienceMilliseconds)) {
        platform::Report("orbsaver: the keyboard and pointer are not back with the saver yet; it "
                         "keeps trying");
    }
    input.lastMousePosX = input.lastMousePosY = -1;
    input.ignoreInput = false;
}

LRESULT OnPaint(WindowHandle window, WPARAM wParam, LPARAM lParam) {
    engine::RenderDevice& d = engine::Device();
    if (!d.windowed) return DefWindowProc(window, WM_PAINT, wParam, lParam);
    if (!engine::OnDevicePaint(window)) DefWindowProc(window, WM_PAINT, wParam, lParam);
    if (d.running && d.appActive) {
        engine::RenderOnce(engine::TheScene().SceneFrame);
        engine::PresentFrame();
    }
    return 0;
}

// The configuration dialog's preview renders on its timer, whose ticks come more
// often than the display shows frames: a frame is made only when one is due.
void RenderPreviewTick(WindowHandle window) {
    FramePacer& pacer = PreviewPacer();
    const std::int64_t now = MonotonicMicroseconds();
    if (pacer.WaitBefore(now) != 0) return;
    pacer.SetRefreshRate(DisplayRefreshRate(window));
    if (engine::UpdateFrame()) {
        pacer.FrameMade(now);
    } else {
        pacer.Restart();
    }
}

}  // namespace

FramePacer& PreviewPacer() {
    static FramePacer pacer;
    return pacer;
}

SaverWindowServices& Services() {
    static SaverWindowServices services;
    return services;
}

LRESULT SaverWindowProc(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    engine::RenderDevice& device = engine::Device();
    if (IsInputMessage(message)) {
        if (wParam == VK_F1 || Input().ignoreInput) {
            return DefWindowProc(window, message, wParam, lParam);
        }
        return TryToEnd(window);
    }
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            engine::ReleaseRenderDevice();
            engine::ReleaseScene();
            PostQuitMessage(0);
            return 0;
        case WM_MOVE:
            if (device.windowed) engine::OnDeviceMove(window);
            return DefWindowProc(window, message, wParam, lParam);
        case WM_SIZE:
            if (device.windowed &&
                engine::OnDeviceSize(window, wParam, PointX(lParam) & 0xFFFF,
                                     PointY(lParam) & 0xFFFF)) {
                return 0;
            }
            if (device.running) engine::CreateDeviceViewport(engine::TheScene().CameraFrame);
            return 0;
        case WM_PAINT:
            return OnPaint(window, wParam, lParam);
        case WM_ACTIVATEAPP:
            engine::OnDeviceActivate(wParam);
            return DefWindowProc(window, message, wParam, lParam);
        case WM_SETCURSOR:
            // The arrow stays over the password prompt.
            if (settings::View().mode == settings::SaverMode::Saver) ShowCursor(Input().askingPassword);
            return 0;
        case WM_KEYUP:
            if (wParam == VK_F1) ShowAbout(window);
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == SC_KEYMENU) return 0;
            // A close command (the window manager's, or Alt+F4's) is an ending attempt
            // like a key: it ends the saver only through the password check.
            if ((wParam & 0xFFF0) == SC_CLOSE && !Input().ignoreInput) return TryToEnd(window);
            return DefWindowProc(window, message, wParam, lParam);
        case WM_TIMER:
            if (wParam == kPauseTimer) {
                Input().passwordPause = false;
                KillTimer(window, kPauseTimer);
            } else if (wParam == kPreviewTimer) {
                RenderPreviewTick(window);
            }
            return 0;
        case WM_MOUSEMOVE:
            return OnMouseMove(window, wParam, lParam);
        case MM_MCINOTIFY: {
            const std::uint32_t music = Services().musicDevice ? Services().musicDevice() : 0;
            if (wParam == kMciNotifySuccessful && settings::Settings().M_ON == 1 && music != 0 &&
                static_cast<std::uint32_t>(lParam) == music && Services().replayMusic) {
                Services().replayMusic(music, window);
            }
            return 0;
        }
        default:
            return DefWindowProc(window, message, wParam, lParam);
    }
}

}  // namespace shell
