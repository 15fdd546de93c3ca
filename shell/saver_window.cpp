// The saver window's procedure: what each window message does to the saver.
#include "shell/saver_window.h"

#include "engine/device.h"
#include "engine/frame.h"
#include "engine/scene.h"
#include "settings/scene_settings.h"
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

// Input would end the saver: the password check decides.
LRESULT TryToEnd(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    ShowCursor(true);
    const bool passes = Services().checkPassword ? Services().checkPassword(window) : true;
    if (passes) {
        PostMessage(window, WM_CLOSE, 0, 0);
        return 0;
    }
    ShowCursor(false);
    Input().lastMousePosX = Input().lastMousePosY = -1;
    SetTimer(window, kPauseTimer, kPasswordPauseMilliseconds);
    return DefWindowProc(window, message, wParam, lParam);
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
    return TryToEnd(window, WM_MOUSEMOVE, wParam, lParam);
}

void ShowAbout(WindowHandle window) {
    InputState& input = Input();
    input.ignoreInput = true;
    engine::FlipToGdiSurface();
    int x = settings::View().ViewWidth / 2, y = settings::View().ViewHeight / 2;
    engine::ViewPointToScreen(&x, &y);
    SetCursorPos(x, y);
    if (Services().showAboutBox) Services().showAboutBox(window);
    FocusWindow(window);
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

}  // namespace

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
        return TryToEnd(window, message, wParam, lParam);
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
            if (settings::View().mode == settings::SaverMode::Saver) ShowCursor(false);
            return 0;
        case WM_KEYUP:
            if (wParam == VK_F1) ShowAbout(window);
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == SC_KEYMENU) return 0;
            return DefWindowProc(window, message, wParam, lParam);
        case WM_TIMER:
            if (wParam == kPauseTimer) {
                Input().passwordPause = false;
                KillTimer(window, kPauseTimer);
            } else if (wParam == kPreviewTimer && engine::PreviewFrameDue(TimeGetTime())) {
                engine::UpdateFrame();
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
