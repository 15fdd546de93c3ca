// The program's entry: settings, fonts, the run mode, its preparation, the saver
// window and the message loop.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry/registry.h"
#include "platform/window/window.h"
#include "settings/scene_settings.h"
#include "shell/frame_pacer.h"
#include "shell/shell_state.h"

namespace shell {

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;

// True when arg is the switch letter, written alone or after one '-' or '/', in
// either case. A missing argument is no switch.
bool IsSwitch(const char* arg, char letter);
// The same, or the switch with a window handle joined by a colon ("/c:1234", the form
// Windows' Screen Saver Settings passes); *handle is then the text after the colon,
// else null.
bool IsSwitchWithHandle(const char* arg, char letter, const char** handle);

// What the first argument asks for. The configuration, the preview and the password
// change may carry their window's handle after a colon.
enum class ModeChoice { Config, ChangePassword, Preview, Saver, Hosted, Help, Unknown };
ModeChoice DecideMode(int argc, const char* const* argv, const char* hostWindowEnv = nullptr);

// A screen-saver host's request: "-window-id ID" (it wins), "-root", or the
// XSCREENSAVER_WINDOW variable. window 0 with hosted set means the screen's root.
struct HostRequest {
    bool hosted = false;
    std::uint64_t window = 0;
};
HostRequest FindHost(int argc, const char* const* argv, const char* hostWindowEnv);
// A window id written in decimal or as 0x hexadecimal; 0 when it is neither.
std::uint64_t ParseHostWindowId(const char* text);

// A window handle written in decimal: leading blanks and one sign allowed, reading
// stops at the first other character, nothing read gives 0.
std::uint64_t ParseWindowHandle(const char* text);
// The handle a switch names: after its colon ("/p:1234") or, without one, in the next
// argument ("/p 1234"); null when there is none.
const char* SwitchHandleText(int argc, const char* const* argv);

// Registers the saver window's class and creates the window for the current mode.
bool CreateSaverWindow();
// The same with another procedure for the class and style bits added to the window's.
bool CreateSaverWindow(platform::WindowProc proc, std::uint32_t extraStyle);

// When the store asks for a password (or cannot be read), the full-screen saver is a
// screen lock: it takes the keyboard and pointer for the window, waiting a little for
// another program to let go of them, and Input().locked says so. False, said on
// stderr, when they cannot be had: a lock that does not hold must not pretend to.
bool TakeScreenLock(platform::WindowHandle window, platform::Registry& store,
                    std::uint32_t patienceMilliseconds = kGrabPatienceMilliseconds);

// Peeks the queue and dispatches; when nothing waits, runs one frame step. Returns
// the exit code WM_QUIT carries.
int RunMainLoop(void (*frameStep)());

// The loop's idle branch with pacing: the music's notices, then the frame when the
// pacer says one is due, else a wait for messages until it is. frame makes one frame
// and says whether it could.
void PacedFrameStep(FramePacer& pacer, bool (*frame)());
// The saver's frame step (Saver, Preview and the XScreenSaver mode): the process
// pacer at the display's rate, and ResetFrameVelocities and UpdateFrame.
void FrameStep();

// The whole program; returns its exit code.
int RunProgram(int argc, const char* const* argv);

// The window class of the saver window and of other savers' windows.
inline constexpr const char* kSaverWindowClass = "D3DRM Example";
inline constexpr const char* kOtherSaverClass = "WindowsScreenSaverClass";
inline constexpr const char* kOtherPreviewClass = "WindowsScreenSaverPrev";

std::string UsageText();

// The data directory, standing for the Windows directory, as windowsDirectory holds
// it: with its separator and in the code page (see settings::ToStoredPath); empty,
// with a word on stderr, when it is too long for its buffer.
std::string WindowsDirectory(int codePage);

}  // namespace shell
