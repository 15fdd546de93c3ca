// The render device's set-up, present, window upkeep and release.
#include "engine/device.h"

#include <cstdio>
#include <cstdlib>

#include "engine/start_trace.h"
#include "platform/report/report.h"
#include "settings/scene_settings.h"
#include "settings/view_state.h"

namespace engine {

namespace {

// The device of a run cannot fail softly: the process ends with exit code 1. A
// preview whose host window went away while the device started has simply ended.
[[noreturn]] void EndProcess(const char* what) {
    if (!platform::IsWindowAlive(settings::View().SaverWindow)) std::_Exit(0);
    platform::Report(std::string("orbsaver: ") + what);
    std::_Exit(1);
}

void ReadClientRect(RenderDevice& d, platform::WindowHandle window) {
    int w = 0, h = 0;
    platform::GetClientSize(window, &w, &h);
    d.clientRect = {0, 0, w, h};
    d.modeWidth = w;
    d.modeHeight = h;
    // A window with more pixels than the view (a scaled dialog's preview) shows the
    // view's frame stretched over them: the overlays keep their places.
    const settings::ViewState& view = settings::View();
    if (view.windowPixelScale > 1 && view.ViewWidth > 0 && view.ViewHeight > 0) {
        d.modeWidth = view.ViewWidth;
        d.modeHeight = view.ViewHeight;
    }
}

}  // namespace

RenderDevice& Device() {
    static RenderDevice device;
    return device;
}

void ResetRenderDevice() {
    RenderDevice& d = Device();
    ReleaseRenderDevice();
    d.retainedMode = false;
    d.colorModel = 0;
    d.clientRect = {};
    d.hwDriverFound = d.windowedRequest = d.running = d.windowed = d.suspended = 0;
    d.fullScreen = 0;
    d.deviceWindow = 0;
    d.renderQuality = d.textureQuality = 0;
    d.dither = d.antialias = d.ShowFrameRate = 0;
    d.modeWidth = 800;
    d.modeHeight = 600;
    d.modeBpp = 16;
    d.appActive = 1;
}

bool StartRenderDevice() {
    RenderDevice& d = Device();
    const settings::SceneSettings& s = settings::Settings();
    ResetRenderDevice();
    d.renderQuality = static_cast<std::uint32_t>(s.REN_Q);
    d.textureQuality = static_cast<std::uint32_t>(s.TEX_Q);
    d.dither = s.DITHER;
    d.antialias = s.ALIAS;
    d.ShowFrameRate = s.FPS;
    d.windowedRequest = settings::View().mode != settings::SaverMode::Saver || settings::View().hosted;
    const platform::WindowHandle window = settings::View().SaverWindow;
    const bool display = d.windowedRequest ? CreateWindowedDevice(window)
                                           : CreateFullScreenDevice(window);
    if (!display) EndProcess("cannot draw with OpenGL 3.3 in the saver window");
    StartStepDone("gl-context");
    if (!Create3DDevice()) EndProcess("cannot make the 3D device");
    StartStepDone("shaders");
    // The configuration dialog's preview draws from a timer of the dialog's loop: a
    // present there must never wait for the display.
    if (settings::View().mode == settings::SaverMode::Config) d.surface->SetSwapInterval(0);
    return true;
}

bool CreateFullScreenDevice(platform::WindowHandle window) {
    RenderDevice& d = Device();
    d.deviceWindow = window;
    ReleaseRenderDevice();
    d.surface = platform::GlSurface::Create(window);
    if (!d.surface) {
        ReleaseRenderDevice();
        return false;
    }
    // OpenGL always draws in colour with its own 3D hardware or emulation.
    d.colorModel = d.windowedRequest ? 1 : 2;
    if (!CoverMonitorInDisplayMode(window)) {
        ReleaseRenderDevice();
        return CreateWindowedDevice(window);
    }
    d.running = 1;
    return true;
}

bool CoverMonitorInDisplayMode(platform::WindowHandle window) {
    RenderDevice& d = Device();
    d.deviceWindow = window;
    bool set = platform::EnterFullScreen(window, d.modeWidth, d.modeHeight, d.modeBpp);
    for (const DisplayMode& m : kDisplayModeTable) {
        if (set) break;
        if (platform::EnterFullScreen(window, m.width, m.height, m.bitsPerPixel)) {
            d.modeWidth = m.width;
            d.modeHeight = m.height;
            d.modeBpp = m.bitsPerPixel;
            set = true;
        }
    }
    FullScreenKind kind = FullScreenKind::DisplayMode;
    if (!set && platform::EnterDesktopFullScreen(window)) {
        // No table mode on this monitor (a modern flat panel or a virtual screen
        // often has none): cover it at its own mode and scale the frame onto it,
        // rather than leave the desktop showing around an 800 x 600 window.
        d.modeWidth = 800;
        d.modeHeight = 600;
        d.modeBpp = platform::DesktopBitsPerPixel();
        kind = FullScreenKind::Scaled;
        set = true;
    }
    if (!set) return false;
    d.fullScreen = 1;
    d.fullScreenKind = kind;
    return true;
}

// Covers the monitor again the way the device did, else at the monitor's own mode.
// When neither works the device stays in its window and stops trying, so that a
// monitor that refuses costs no frame a mode switch.
static void CoverMonitorAgain(RenderDevice& d) {
    if (d.fullScreenKind == FullScreenKind::DisplayMode &&
        platform::EnterFullScreen(d.deviceWindow, d.modeWidth, d.modeHeight, d.modeBpp)) {
        d.fullScreen = 1;
    } else if (platform::EnterDesktopFullScreen(d.deviceWindow)) {
        d.fullScreenKind = FullScreenKind::Scaled;
        d.fullScreen = 1;
    } else {
        d.fullScreenKind = FullScreenKind::None;
    }
}

PresentRect ScaledPresentRect(int frameWidth, int frameHeight, int drawableWidth,
                              int drawableHeight) {
    if (frameWidth <= 0 || frameHeight <= 0 || drawableWidth <= 0 || drawableHeight <= 0)
        return {0, 0, 0, 0};
    // Compare the two proportions in integers: the wider side limits.
    const long long across = static_cast<long long>(drawableWidth) * frameHeight;
    const long long down = static_cast<long long>(drawableHeight) * frameWidth;
    int w = drawableWidth, h = drawableHeight;
    if (across > down)
        w = static_cast<int>(down / frameHeight);
    else
        h = static_cast<int>(across / frameWidth);
    return {(drawableWidth - w) / 2, (drawableHeight - h) / 2, w, h};
}

void ViewPointToScreen(int* x, int* y) {
    const RenderDevice& d = Device();
    if (d.fullScreenKind == FullScreenKind::None) return;
    int w = 0, h = 0;
    if (d.fullScreenKind == FullScreenKind::Scaled && platform::GetClientSize(d.deviceWindow, &w, &h)) {
        const PresentRect r = ScaledPresentRect(d.modeWidth, d.modeHeight, w, h);
        if (r.width <= 0 || r.height <= 0) return;
        const int top = h - r.y - r.height;
        *x = r.x + static_cast<int>(static_cast<long long>(*x) * r.width / d.modeWidth);
        *y = top + static_cast<int>(static_cast<long long>(*y) * r.height / d.modeHeight);
    }
    // Full screen stands at the primary monitor's origin, which need not be the
    // desktop's.
    int left = 0, topLeft = 0;
    if (platform::GetPrimaryMonitor(&left, &topLeft, &w, &h)) {
        *x += left;
        *y += topLeft;
    }
}

bool CreateWindowedDevice(platform::WindowHandle window) {
    RenderDevice& d = Device();
    d.deviceWindow = window;
    ReleaseRenderDevice();
    d.modeBpp = platform::DesktopBitsPerPixel();
    ReadClientRect(d, window);
    d.surface = platform::GlSurface::Create(window);
    if (!d.surface) {
        ReleaseRenderDevice();
        return false;
    }
    d.colorModel = d.windowedRequest ? 1 : 2;
    d.windowed = 1;
    return true;
}

bool Create3DDevice() {
    RenderDevice& d = Device();
    d.retainedMode = true;
    if (d.rmDevice) return true;
    if (!d.surface) return false;
    d.surface->MakeCurrent();
    std::string error;
    d.rmDevice = platform::rm::Device::Create(d.modeWidth, d.modeHeight, &error);
    if (!d.rmDevice) {
        // One line, also when the reason is a shader compiler's log.
        for (char& c : error) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        platform::Report("orbsaver: " + error);
        ReleaseRenderDevice();
        return false;
    }
    // The shade mode comes from the setting; lights on and solid fill always.
    const std::uint32_t quality = d.renderQuality | 0x88;
    if (d.rmDevice->Quality() != quality) d.rmDevice->SetQuality(quality);
    if (d.rmDevice->Dither() != (d.dither != 0)) d.rmDevice->SetDither(d.dither != 0);
    if (static_cast<std::uint32_t>(d.rmDevice->GetTextureQuality()) != d.textureQuality) {
        d.rmDevice->SetTextureQuality(static_cast<platform::rm::TextureQuality>(d.textureQuality));
    }
    d.rmDevice->SetAntialias(d.antialias != 0);
    d.pictures = platform::rm::Overlay2D::Create();
    return true;
}

bool RecreateWindowedDevice(platform::WindowHandle window) {
    RenderDevice& d = Device();
    d.deviceWindow = window;
    if (!d.windowed) return false;
    d.suspended = 1;
    ReadClientRect(d, window);
    if (!d.rmDevice || !d.surface) {
        ReleaseRenderDevice();
        return false;
    }
    // The GL context stays; only the render target takes the new size.
    d.surface->MakeCurrent();
    if (d.modeWidth <= 0 || d.modeHeight <= 0 || !d.rmDevice->Resize(d.modeWidth, d.modeHeight)) {
        ReleaseRenderDevice();
        return false;
    }
    d.windowed = 1;
    d.suspended = 0;
    return true;
}

bool PresentFrame() {
    RenderDevice& d = Device();
    if (d.suspended || !d.running || !d.surface || !d.rmDevice) return false;
    // A dialog took the monitor back for a while; cover it again, as a flip would.
    if (d.fullScreenKind != FullScreenKind::None && !d.fullScreen && d.deviceWindow)
        CoverMonitorAgain(d);
    int w = 0, h = 0;
    d.surface->DrawableSize(&w, &h);
    d.surface->BindWindowFramebuffer();
    if (d.rmDevice->DrawsIntoWindow() && w == d.modeWidth && h == d.modeHeight) {
        // The frame was drawn into the window itself.
    } else if (d.fullScreenKind == FullScreenKind::Scaled && d.fullScreen) {
        const PresentRect r = ScaledPresentRect(d.modeWidth, d.modeHeight, w, h);
        if (r.width != w || r.height != h) d.surface->ClearToBlack();
        d.rmDevice->Present(r.x, r.y, r.width, r.height);
    } else {
        d.rmDevice->Present(0, 0, w, h);
    }
    if (!d.surface->SwapBuffers()) {
        ReleaseRenderDevice();
        return false;
    }
    FirstPresentDone();
    return true;
}

bool RenderOnce(platform::rm::Frame* root) {
    RenderDevice& d = Device();
    if (d.suspended || !d.running || !root || !d.viewport) return false;
    if (!d.viewport->Clear() || !d.viewport->Render(root) || !d.rmDevice->Update()) {
        ReleaseRenderDevice();
        return false;
    }
    return true;
}

bool CreateDeviceViewport(platform::rm::Frame* camera) {
    RenderDevice& d = Device();
    if (!d.rmDevice || !camera) {
        ReleaseRenderDevice();
        return false;
    }
    if (d.viewport) {
        d.viewport->Release();
        d.viewport = nullptr;
    }
    d.viewport = platform::rm::Viewport::Create(d.rmDevice.get(), camera, 0, 0, d.modeWidth,
                                                d.modeHeight);
    if (!d.viewport || !d.viewport->SetBack(5000.0f)) {
        ReleaseRenderDevice();
        return false;
    }
    return true;
}

bool SetDeviceRunning(int value) {
    if (value == 0) Device().running = 0;
    if (value == 1) Device().running = 1;
    return true;
}

void RestoreLostSurfaces() {
    // A GL context keeps its framebuffers: nothing is ever lost here, so there is
    // nothing to restore. The step stays so the frame keeps its order.
}

bool OnDeviceMove(platform::WindowHandle window) {
    ReadClientRect(Device(), window);
    return true;
}

bool OnDeviceSize(platform::WindowHandle window, std::uintptr_t sizeType, int, int) {
    RenderDevice& d = Device();
    if (d.suspended) return true;
    switch (sizeType) {
        case 0:  // restored
            if (d.windowed) RecreateWindowedDevice(window);
            return false;
        case 1:  // minimised
        case 2:  // maximised
            d.suspended = 1;
            return true;
        default:
            return true;
    }
}

bool OnDeviceActivate(std::uintptr_t active) {
    RenderDevice& d = Device();
    d.appActive = active != 0;
    return d.running && !d.suspended;
}

bool OnDevicePaint(platform::WindowHandle) {
    RenderDevice& d = Device();
    return d.running && d.windowed && !d.suspended;
}

void FlipToGdiSurface() {
    RenderDevice& d = Device();
    if (d.fullScreen && d.deviceWindow) {
        platform::LeaveFullScreen(d.deviceWindow);
        d.fullScreen = 0;
    }
}

bool ReleaseRenderDevice() {
    RenderDevice& d = Device();
    if (d.surface) d.surface->MakeCurrent();
    if (d.viewport) {
        d.viewport->Release();
        d.viewport = nullptr;
    }
    d.pictures.reset();
    d.rmDevice.reset();
    d.retainedMode = false;
    if (d.fullScreen && d.deviceWindow) platform::LeaveFullScreen(d.deviceWindow);
    d.fullScreen = 0;
    d.fullScreenKind = FullScreenKind::None;
    d.surface.reset();
    d.running = 0;
    return true;
}

}  // namespace engine
