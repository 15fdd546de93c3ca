// The entry point's work: start-up in every mode, the mode decision, each mode's
// preparation, the saver window, the message loop and the shutdown.
#include "shell/entry.h"


#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

#include "config/config_dialog.h"
#include "engine/device.h"
#include "engine/start_trace.h"
#include "engine/frame.h"
#include "engine/overlay.h"
#include "engine/password_prompt.h"
#include "engine/scene.h"
#include "platform/audio/sequencer.h"
#include "platform/backends.h"
#include "platform/data_dir/data_dir.h"
#include "platform/files/session_lock.h"
#include "platform/report/report.h"
#include "platform/text/text.h"
#include "settings/store.h"
#include "shell/about_box.h"
#include "shell/frame_pacer.h"
#include "shell/lock.h"
#include "shell/password.h"
#include "shell/saver_window.h"
#include "sound/sound.h"
#include "sprites/surface_set.h"

namespace shell {

namespace {

// A length of the view in the saver window's pixels, rounded to the nearest one.
int ScaledPixels(int viewPixels, double scale) {
    return static_cast<int>(std::lround(viewPixels * scale));
}

// How long a frame that could not be made waits for a message.
constexpr int kIdleFrameMilliseconds = 16;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The display's rate is looked at again now and then: a display mode set for full
// screen, or a window moved to another monitor, may change it.
constexpr int kFramesBetweenRateChecks = 120;

bool SaverFrame() {
    engine::ResetFrameVelocities();
    return engine::UpdateFrame();
}

void Fail(const char* what) { platform::Report(std::string("orbsaver: ") + what); }

bool CheckPassword(platform::WindowHandle window) { return CheckSaverPassword(window); }
std::uint32_t OpenMusicDevice() { return sound::MusicDevice(); }
void ReplayMusic(std::uint32_t device, platform::WindowHandle window) {
    sound::RewindMusic(device, window);
    sound::PlayMusic(device, window);
}

// Under a host that fills several monitors, one process each, only the first plays
// the music: it holds a lock for as long as it runs.
bool TakeMusicLock() { return platform::HoldSessionLock("orbsaver-music"); }

}  // namespace

bool IsSwitch(const char* arg, char letter) {
    if (!arg) return false;
    if (*arg == '-' || *arg == '/') ++arg;
    return arg[0] != '\0' && arg[1] == '\0' && Lower(arg[0]) == Lower(letter);
}

bool IsSwitchWithHandle(const char* arg, char letter, const char** handle) {
    *handle = nullptr;
    if (IsSwitch(arg, letter)) return true;
    if (!arg) return false;
    const char* colon = std::strchr(arg, ':');
    if (!colon) return false;
    const std::string bare(arg, static_cast<std::size_t>(colon - arg));
    if (!IsSwitch(bare.c_str(), letter)) return false;
    *handle = colon + 1;
    return true;
}

const char* SwitchHandleText(int argc, const char* const* argv) {
    if (argc < 2) return nullptr;
    const char* handle = nullptr;
    for (char letter : {'c', 'p', 'l', 'a'}) {
        if (IsSwitchWithHandle(argv[1], letter, &handle) && handle) return handle;
    }
    return argc > 2 ? argv[2] : nullptr;
}

std::uint64_t ParseHostWindowId(const char* text) {
    if (!text || !*text) return 0;
    char* end = nullptr;
    errno = 0;
    const unsigned long long id = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || id > 0xFFFFFFFFull) return 0;
    return id;
}

HostRequest FindHost(int argc, const char* const* argv, const char* hostWindowEnv) {
    HostRequest request;
    bool root = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a(argv[i]);
        if ((a == "-window-id" || a == "--window-id") && i + 1 < argc) {
            request.hosted = true;
            request.window = ParseHostWindowId(argv[++i]);
            return request;  // wins over -root
        }
        if (a == "-root" || a == "--root") root = true;
    }
    const std::uint64_t fromEnv = ParseHostWindowId(hostWindowEnv);
    if (root || fromEnv) {
        request.hosted = true;
        request.window = fromEnv;
    }
    return request;
}

ModeChoice DecideMode(int argc, const char* const* argv, const char* hostWindowEnv) {
    const char* first = argc > 1 ? argv[1] : nullptr;
    // The configuration, the preview and the password change take their window's
    // handle after a colon too, as Windows' Screen Saver Settings passes it to the
    // Settings button ("/c:1234"); without that form the button would start nothing.
    const char* handle = nullptr;
    const bool config = IsSwitchWithHandle(first, 'c', &handle);
    const bool password = IsSwitchWithHandle(first, 'a', &handle);
    const bool preview =
        IsSwitchWithHandle(first, 'p', &handle) || IsSwitchWithHandle(first, 'l', &handle);
    const bool saver = IsSwitch(first, 's');
    // A host's switches or window come first: XScreenSaver starts its display modes
    // with them and no switch of ours.
    const bool ourSwitch = config || password || preview || saver;
    if (!ourSwitch && FindHost(argc, argv, hostWindowEnv).hosted) return ModeChoice::Hosted;
    if (!first || config) return ModeChoice::Config;
    if (password) return ModeChoice::ChangePassword;
    if (preview) return ModeChoice::Preview;
    if (saver) return ModeChoice::Saver;
    const std::string_view f(first);
    if (f == "-h" || f == "--help" || f == "/?") return ModeChoice::Help;
    return ModeChoice::Unknown;
}

std::uint64_t ParseWindowHandle(const char* text) {
    if (!text) return 0;
    const std::int32_t n = settings::ParseDecimal(text, std::strlen(text));
    // The handle is a 32-bit value; a negative one names no window.
    return static_cast<std::uint32_t>(n);
}

bool TakeScreenLock(platform::WindowHandle window, platform::Registry& store,
                    std::uint32_t patienceMilliseconds) {
    Input().locked = false;
    if (ReadPasswordRequest(store) == 0) return true;
    // Where the system asks for the saver's password itself, it also keeps the
    // session (Windows locks it when the saver ends): the saver holds nothing.
    if (platform::UsesSystemPassword()) return true;
    if (const std::string problem = store.ReadProblem(); !problem.empty()) {
        platform::Report("orbsaver: the settings store " + problem + "; the password is asked for");
    }
    if (!platform::GrabInput(window, true, patienceMilliseconds)) {
        Fail("another program holds the keyboard or the pointer, so the screen cannot be locked");
        return false;
    }
    Input().locked = true;
    return true;
}

bool CreateSaverWindow() { return CreateSaverWindow(SaverWindowProc, 0); }

bool CreateSaverWindow(platform::WindowProc proc, std::uint32_t extraStyle) {
    settings::ViewState& shell = settings::View();
    InputState& input = Input();
    if (shell.mode == settings::SaverMode::Saver && !shell.hosted) {
        input.ignoreInput = false;
        input.passwordPause = false;
        input.lastMousePosX = input.lastMousePosY = -1;
    } else {
        input.ignoreInput = true;
        input.passwordPause = false;
        input.lastMousePosX = input.lastMousePosY = 0;
    }
    if (!platform::RegisterWindowClass(kSaverWindowClass, proc)) return false;
    const bool popup = shell.mode == settings::SaverMode::Saver && !shell.hosted;
    const std::uint32_t style =
        platform::WS_VISIBLE | (popup ? platform::WS_POPUP : platform::WS_CHILD) | extraStyle;
    // Full screen stands on the primary monitor, the one whose mode it may change; the
    // other monitors get black windows.
    int x = 0, y = 0, w = 0, h = 0;
    if (popup && !platform::GetPrimaryMonitor(&x, &y, &w, &h)) x = y = 0;
    const platform::WindowHandle window =
        platform::CreateWindow(kSaverWindowClass, style, x, y,
                               ScaledPixels(shell.ViewWidth, shell.windowPixelScale),
                               ScaledPixels(shell.ViewHeight, shell.windowPixelScale),
                               popup ? 0 : shell.parentWindow);
    if (!window) return false;
    shell.SaverWindow = window;
    if (popup) platform::CoverEveryMonitor(window);
    return true;
}

void PacedFrameStep(FramePacer& pacer, bool (*frame)()) {
    // The music's completion notices are posted on this thread.
    platform::PollSequencerNotices();
    const std::int64_t now = platform::MonotonicMicroseconds();
    if (const std::int64_t wait = pacer.WaitBefore(now)) {
        // Waiting for messages, not sleeping: input ends the wait at once.
        platform::WaitMessage(static_cast<int>((wait + 999) / 1000));
        return;
    }
    if (!frame()) {
        // A frame that could not be made (the device is not running, or the
        // application is inactive in full screen) waits for the next message
        // instead of spinning.
        pacer.Restart();
        platform::WaitMessage(kIdleFrameMilliseconds);
        return;
    }
    pacer.FrameMade(now);
}

void FrameStep() {
    static int frames = 0;
    FramePacer& pacer = Pacer();
    if (frames++ % kFramesBetweenRateChecks == 0) {
        pacer.SetRefreshRate(platform::DisplayRefreshRate(settings::View().SaverWindow));
    }
    PacedFrameStep(pacer, SaverFrame);
}

int RunMainLoop(void (*frameStep)()) {
    for (;;) {
        platform::Msg msg;
        if (platform::PeekMessage(&msg, false)) {
            platform::PeekMessage(&msg, true);
            if (msg.message == platform::WM_QUIT) return static_cast<int>(msg.wParam);
            platform::DispatchMessage(msg);
        } else {
            frameStep();
        }
    }
}

std::string UsageText() {
    return "usage: orbsaver [/s | /p <window id> | /c | /a | -root | -window-id <id>]\n"
           "  /s              run the screen saver full screen\n"
           "  /p <window id>  draw the small preview inside the given window: an X11 window id\n"
           "                  on Linux, an HWND on Windows, in decimal (/l too)\n"
           "  /c, no switch   open the configuration dialog\n"
           "  /a              change the screen-saver password\n"
           "  -root, -window-id <id>\n"
           "                  as an XScreenSaver display mode (also XSCREENSAVER_WINDOW)\n"
           "A switch may be written with '-' or '/' or alone, in either case; /c, /p and /a\n"
           "also take their window after a colon (/p:<window id>), as Windows passes them.\n";
}

namespace {

// Makes the fonts on a thread of its own; waits for it when asked, and at the latest
// when it goes.
class FontMaker {
public:
    template <class Make>
    void Start(Make make) { thread_ = std::thread(std::move(make)); }
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }
    ~FontMaker() { Wait(); }

private:
    std::thread thread_;
};

}  // namespace

std::string WindowsDirectory(int codePage) {
    const std::string utf8 = platform::DataDirectory();
    std::string dir = settings::ToStoredPath(utf8, codePage);
    if (dir.size() >= settings::kDirectoryBufferSize) {
        platform::Report("orbsaver: the data directory path is too long: " + utf8);
        dir.clear();
    }
    return dir;
}

int RunProgram(int argc, const char* const* argv) {
    settings::ViewState& shell = settings::View();
    settings::SceneSettings& s = settings::Settings();

    // Asking for the usage, or a switch that names no mode, runs nothing: it is
    // answered before the settings are read (or written on a first run).
    const char* hostEnv = std::getenv("XSCREENSAVER_WINDOW");
    const ModeChoice choice = DecideMode(argc, argv, hostEnv);
    if (choice == ModeChoice::Help) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitOk;
    }
    if (choice == ModeChoice::Unknown) {
        std::string usage = UsageText();
        if (!usage.empty() && usage.back() == '\n') usage.pop_back();
        platform::Report(std::string("orbsaver: unknown switch '") + argv[1] + "'\n" + usage);
        return kExitFailure;
    }
    // The saver and the preview draw and answer keys and the pointer, nothing more:
    // they never wait for a session bus to be started for them.
    const bool drawsOnly =
        choice == ModeChoice::Saver || choice == ModeChoice::Preview || choice == ModeChoice::Hosted;
    if (drawsOnly) {
        platform::ForgoSessionBusLaunch();
    }

    const int codePage = platform::KeyboardCodePage();
    const std::string dataDirectory = WindowsDirectory(codePage);
    engine::StartStepDone("data-directory");
    settings::InitialiseSettings(s, dataDirectory, codePage);
    settings::SetStoreAccessHook(engine::ForgetAppliedOrientation);
    Services().showAboutBox = ShowAboutBox;
    Services().checkPassword = CheckPassword;
    Services().musicDevice = OpenMusicDevice;
    Services().replayMusic = ReplayMusic;
    settings::LoadOrSaveSettings(0);
    engine::StartStepDone("settings");
    // A full-screen saver that asks for a password is a lock of two processes: this
    // one holds the screen and asks, a child draws the scene. Where the system keeps
    // the password and locks the session itself (Windows), the saver is no lock.
    if (choice == ModeChoice::Saver && !platform::UsesSystemPassword() &&
        ReadPasswordRequest(platform::UserRegistry()) != 0) {
        return RunScreenLock();
    }
    // From here on the saver, the preview and a host's saver take no typed text: a
    // saver that asks for a password has become the lock above. No thread runs yet.
    if (drawsOnly) {
        platform::ForgoComposeTable();
    }
    // The saver and the preview make their fonts (fontconfig reads its configuration
    // first) while their window and its GL driver are made: nothing reads the fonts
    // before the window is there. The dialog makes them at once, as its pages read
    // them as they open.
    FontMaker fonts;
    if (drawsOnly) {
        fonts.Start([&s, &shell, message = choice != ModeChoice::Preview] {
            settings::CreateSharedFonts(s, shell.fonts);
            if (message) settings::CreateMessageFont(s, shell.fonts);
        });
    } else {
        settings::CreateSharedFonts(s, shell.fonts);
    }
    auto deleteFonts = [&] {
        fonts.Wait();
        settings::DeleteFonts(shell.fonts);
    };

    switch (choice) {
        case ModeChoice::Help:
        case ModeChoice::Unknown:
            return kExitFailure;  // answered before the settings were touched
        case ModeChoice::ChangePassword:
            // Where the system keeps the saver's password, its dialog changes it;
            // elsewhere the saver asks for the user's login password, and there is no
            // password of its own to change.
            shell.mode = settings::SaverMode::ChangePassword;
            if (!ChangeSaverPassword()) {
                platform::Report("orbsaver: the saver uses your login password; there is no "
                                 "separate password to change");
            }
            deleteFonts();
            return kExitOk;
        case ModeChoice::Config: {
            shell.mode = settings::SaverMode::Config;
            shell.ViewWidth = 152;
            shell.ViewHeight = 112;
            if (s.S_ON == 1) sound::PlayWaveResource("OPEN", sound::SND_ASYNC);
            shell.ViewScale = settings::ComputeViewScale(shell.ViewWidth);
            shell.ScrollStep = settings::ComputeScrollStep(s.SPD, shell.ViewScale);
            config::Services().createSaverWindow = CreateSaverWindow;
            config::Services().showAboutBox = ShowAboutBox;
            // "/c:<window>": the dialog is modal to the window that asked for it.
            platform::Dialogs().SetOwnerWindow(ParseWindowHandle(SwitchHandleText(argc, argv)));
            engine::PrepareOverlayTexts();
            const int exitCode = ShowModalDialog(kConfigDialogTemplate, 0) ? kExitOk : kExitFailure;
            deleteFonts();
            return exitCode;
        }
        case ModeChoice::Preview:
            shell.mode = settings::SaverMode::Preview;
            if (platform::WindowClassExists(kOtherPreviewClass)) {
                deleteFonts();
                return kExitOk;
            }
            shell.ViewWidth = 152;
            shell.ViewHeight = 112;
            shell.parentWindow = ParseWindowHandle(SwitchHandleText(argc, argv));
            shell.preparedShowFrameRate = false;
            break;
        case ModeChoice::Saver:
            shell.mode = settings::SaverMode::Saver;
            if (platform::WindowClassExists(kOtherSaverClass)) {
                deleteFonts();
                return kExitOk;
            }
            shell.ViewWidth = 800;
            shell.ViewHeight = 600;
            shell.parentWindow = 0;
            if (s.S_ON == 1) sound::PlayWaveResource("OPEN", sound::SND_ASYNC);
            shell.preparedShowFrameRate = true;
            break;
        case ModeChoice::Hosted: {
            // The host's window, at its size; several monitors run one process each.
            shell.mode = settings::SaverMode::Saver;
            shell.hosted = true;
            HostRequest host = FindHost(argc, argv, hostEnv);
            if (!host.window) host.window = platform::GetDesktopWindowId();
            int w = 0, h = 0;
            if (!host.window || !platform::GetForeignWindowSize(host.window, &w, &h)) {
                Fail("cannot find the host's window");
                deleteFonts();
                return kExitFailure;
            }
            shell.ViewWidth = w;
            shell.ViewHeight = h;
            shell.parentWindow = host.window;
            shell.preparedShowFrameRate = true;
            break;
        }
    }

    engine::StartStepDone("fonts");
    shell.ViewScale = settings::ComputeViewScale(shell.ViewWidth);
    shell.ScrollStep = settings::ComputeScrollStep(s.SPD, shell.ViewScale);
    if (!CreateSaverWindow()) {
        Fail(shell.mode == settings::SaverMode::Preview ? "cannot create the preview window in that parent"
                                              : "cannot create the saver window");
        deleteFonts();
        return kExitFailure;
    }
    fonts.Wait();

    const std::string text = settings::SelectedMessageUtf8(s);
    const platform::Font* font = shell.mode == settings::SaverMode::Saver ? shell.fonts.MessageFont.get()
                                                                : shell.fonts.PreviewMessageFont.get();
    std::unique_ptr<platform::Font> windowFont;
    if (!font) {
        windowFont = platform::Font::CreateDefault();
        font = windowFont.get();
    }
    shell.MessageExtent = font ? font->Measure(text) : platform::TextExtent{};
    engine::StartStepDone("window");

    if (shell.mode == settings::SaverMode::Saver && !shell.hosted) {
        // Keys reach the full-screen saver even where no window manager gives it the
        // focus.
        platform::FocusWindow(shell.SaverWindow);
        // A saver that asks for a password is a screen lock: it holds the keyboard and
        // pointer before it shows anything, or does not start.
        if (!TakeScreenLock(shell.SaverWindow, platform::UserRegistry())) {
            deleteFonts();
            return kExitFailure;
        }
    }
    engine::StartRenderDevice();
    static engine::DevicePromptPainter promptPainter;
    SetSaverPasswordPainter(&promptPainter);
    engine::Device().ShowFrameRate = shell.preparedShowFrameRate ? 1 : 0;
    // A start that fails after the device took the monitor gives its mode back.
    if (shell.mode == settings::SaverMode::Saver &&
        !sprites::LoadSpriteScript("PATSCRIPT1", "PATSCRIPT", sprites::TheSurfaceSet())) {
        engine::ReleaseRenderDevice();
        return kExitFailure;
    }
    engine::StartStepDone("sprite-script");
    if (!engine::BuildScene()) {
        Fail("cannot build the scene");
        engine::ReleaseRenderDevice();
        return kExitFailure;
    }

    if (shell.mode == settings::SaverMode::Saver && s.M_ON == 1 && (!shell.hosted || TakeMusicLock())) {
        sound::MusicDevice() = sound::OpenMusic(s.MIDI_NM);
        if (sound::MusicDevice() != 0) sound::PlayMusic(sound::MusicDevice(), shell.SaverWindow);
    }

    engine::PrepareOverlayTexts();
    engine::StartStepDone("scene");
    engine::StartFrameRateClock(platform::TimeGetTime());
    const int exitCode = RunMainLoop(FrameStep);

    engine::ReleaseRenderDevice();
    engine::ReleaseScene();
    deleteFonts();
    return exitCode;
}

}  // namespace shell
