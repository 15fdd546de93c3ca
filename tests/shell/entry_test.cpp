// The entry point's decisions: switches, the preview's parent, the view scale and
// scroll step, fonts from stored LOGFONTs, the loop's order of messages and frames,
// and when the full-screen saver is a screen lock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/password/system_password.h"
#include "settings/store.h"
#include "shell/entry.h"
#include "shell/saver_window.h"
#include "tests/fake_window_backend.h"
#include "tests/support/environment.h"

using namespace shell;
using namespace settings;

TEST(IsSwitch, OneLetterWithAnOptionalDashOrSlashInEitherCase) {
    EXPECT_TRUE(IsSwitch("/S", 's'));
    EXPECT_TRUE(IsSwitch("-s", 's'));
    EXPECT_TRUE(IsSwitch("s", 's'));
    EXPECT_TRUE(IsSwitch("/p", 'P'));
    EXPECT_FALSE(IsSwitch("/s:5", 's'));
    EXPECT_FALSE(IsSwitch("//s", 's'));
    EXPECT_FALSE(IsSwitch("--s", 's'));
    EXPECT_FALSE(IsSwitch("/", 's'));
    EXPECT_FALSE(IsSwitch("", 's'));
    EXPECT_FALSE(IsSwitch(nullptr, 's'));
    EXPECT_FALSE(IsSwitch("/c", 's'));
}

TEST(DecideMode, FirstArgumentPicksTheMode) {
    auto decide = [](std::vector<const char*> args) {
        args.insert(args.begin(), "orbsaver");
        return DecideMode(static_cast<int>(args.size()), args.data());
    };
    EXPECT_EQ(decide({}), ModeChoice::Config);
    EXPECT_EQ(decide({"/c"}), ModeChoice::Config);
    EXPECT_EQ(decide({"/c:1234"}), ModeChoice::Config);
    EXPECT_EQ(decide({"-A"}), ModeChoice::ChangePassword);
    EXPECT_EQ(decide({"/p", "42"}), ModeChoice::Preview);
    EXPECT_EQ(decide({"l"}), ModeChoice::Preview);
    EXPECT_EQ(decide({"/S"}), ModeChoice::Saver);
    EXPECT_EQ(decide({"/s:5"}), ModeChoice::Unknown);
    EXPECT_EQ(decide({"--help"}), ModeChoice::Help);
    EXPECT_EQ(decide({"-x"}), ModeChoice::Unknown);
}

// The forms Windows' Screen Saver Settings and Explorer pass: the handle after a colon
// or as the next argument, for the configuration, the preview and the password change.
TEST(DecideMode, TheSwitchesWindowsPassesWithTheirHandles) {
    auto decide = [](std::vector<const char*> args) {
        args.insert(args.begin(), "orbsaver");
        return DecideMode(static_cast<int>(args.size()), args.data());
    };
    auto handle = [](std::vector<const char*> args) {
        args.insert(args.begin(), "orbsaver");
        return ParseWindowHandle(SwitchHandleText(static_cast<int>(args.size()), args.data()));
    };
    EXPECT_EQ(decide({"/C:4194311"}), ModeChoice::Config);
    EXPECT_EQ(decide({"/p:4194311"}), ModeChoice::Preview);
    EXPECT_EQ(decide({"-l:1"}), ModeChoice::Preview);
    EXPECT_EQ(decide({"/a", "66"}), ModeChoice::ChangePassword);
    EXPECT_EQ(decide({"/a:66"}), ModeChoice::ChangePassword);
    EXPECT_EQ(handle({"/p:4194311"}), 4194311u);
    EXPECT_EQ(handle({"/p", "4194311"}), 4194311u);
    EXPECT_EQ(handle({"/P:12", "99"}), 12u) << "the joined handle wins";
    EXPECT_EQ(handle({"/c:77"}), 77u);
    EXPECT_EQ(handle({"/c"}), 0u);
    EXPECT_EQ(handle({"/p:"}), 0u) << "an empty handle names no window";
    // Only these take a handle, and only after one colon.
    EXPECT_EQ(decide({"/s:5"}), ModeChoice::Unknown);
    EXPECT_EQ(decide({"/x:5"}), ModeChoice::Unknown);
    EXPECT_EQ(decide({"//c:5"}), ModeChoice::Unknown);
    EXPECT_EQ(decide({":5"}), ModeChoice::Unknown);
}

TEST(Host, XScreenSaversSwitchesAndWindowPickTheHostedMode) {
    auto host = [](std::vector<const char*> args, const char* env) {
        args.insert(args.begin(), "orbsaver");
        return FindHost(static_cast<int>(args.size()), args.data(), env);
    };
    EXPECT_FALSE(host({}, nullptr).hosted);
    EXPECT_FALSE(host({"/s"}, nullptr).hosted);
    const HostRequest root = host({"-root"}, nullptr);
    EXPECT_TRUE(root.hosted);
    EXPECT_EQ(root.window, 0u);  // the screen's root
    EXPECT_EQ(host({"-root"}, "0x2a").window, 42u);
    EXPECT_EQ(host({}, "0x2a").window, 42u);
    EXPECT_EQ(host({"-root", "-window-id", "77"}, "0x2a").window, 77u);  // wins over -root
    EXPECT_EQ(host({"-window-id", "0x10", "-root"}, nullptr).window, 16u);
    EXPECT_FALSE(host({}, "junk").hosted);

    auto decide = [](std::vector<const char*> args, const char* env) {
        args.insert(args.begin(), "orbsaver");
        return DecideMode(static_cast<int>(args.size()), args.data(), env);
    };
    EXPECT_EQ(decide({"-root"}, nullptr), ModeChoice::Hosted);
    EXPECT_EQ(decide({}, "0x2a"), ModeChoice::Hosted);
    EXPECT_EQ(decide({"/s"}, "0x2a"), ModeChoice::Saver);  // our own switch comes first
    EXPECT_EQ(decide({"/c"}, "0x2a"), ModeChoice::Config);
}

TEST(ParseWindowHandle, ReadsADecimalLikeTheCLibrary) {
    EXPECT_EQ(ParseWindowHandle(nullptr), 0u);
    EXPECT_EQ(ParseWindowHandle(""), 0u);
    EXPECT_EQ(ParseWindowHandle("  4194311"), 4194311u);
    EXPECT_EQ(ParseWindowHandle("+12abc"), 12u);
    EXPECT_EQ(ParseWindowHandle("0x20"), 0u);
    EXPECT_EQ(ParseWindowHandle("-1"), 0xFFFFFFFFu);
}

namespace {

int g_frames = 0;

void FrameThatClosesOnTheThird() {
    platform::Msg m;
    // A frame is made only when nothing waits.
    ASSERT_FALSE(platform::PeekMessage(&m, false));
    if (++g_frames == 3) platform::PostMessage(View().SaverWindow, platform::WM_CLOSE, 0, 0);
}

class SaverWindowWithoutDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetWindowSystem();
        platform::SetWindowBackend(platform::CreateNullWindowBackend());
        g_frames = 0;
    }
    void TearDown() override { platform::ResetWindowSystem(); }
};

}  // namespace

TEST_F(SaverWindowWithoutDesktop, SaverModeMakesAPopupAndTakesInput) {
    View().mode = SaverMode::Saver;
    View().ViewWidth = 800;
    View().ViewHeight = 600;
    ASSERT_TRUE(CreateSaverWindow());
    int w = 0, h = 0;
    ASSERT_TRUE(platform::GetClientSize(View().SaverWindow, &w, &h));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_FALSE(Input().ignoreInput);
    EXPECT_EQ(Input().lastMousePosX, -1);
    EXPECT_EQ(Input().lastMousePosY, -1);
    // The class is registered once per process, as the system allows.
    EXPECT_FALSE(CreateSaverWindow());
}

TEST_F(SaverWindowWithoutDesktop, PreviewWithoutAParentCannotBeMade) {
    View().mode = SaverMode::Preview;
    View().ViewWidth = 152;
    View().ViewHeight = 112;
    View().parentWindow = 0;
    EXPECT_FALSE(CreateSaverWindow());
    EXPECT_TRUE(Input().ignoreInput);
}

TEST_F(SaverWindowWithoutDesktop, LoopRunsFramesOnAnEmptyQueueUntilTheWindowCloses) {
    View().mode = SaverMode::Saver;
    View().ViewWidth = 800;
    View().ViewHeight = 600;
    ASSERT_TRUE(CreateSaverWindow());
    platform::PostMessage(View().SaverWindow, platform::WM_PAINT, 0, 0);
    EXPECT_EQ(RunMainLoop(FrameThatClosesOnTheThird), 0);
    EXPECT_EQ(g_frames, 3);
    EXPECT_FALSE(platform::IsWindow(View().SaverWindow));
}

TEST_F(SaverWindowWithoutDesktop, KeyboardMenuIsSwallowed) {
    View().mode = SaverMode::Saver;
    ASSERT_TRUE(CreateSaverWindow());
    const auto w = View().SaverWindow;
    EXPECT_EQ(SaverWindowProc(w, platform::WM_SYSCOMMAND, platform::SC_KEYMENU, 0), 0);
    platform::Msg m;
    EXPECT_FALSE(platform::PeekMessage(&m, true));
    SaverWindowProc(w, platform::WM_SYSCOMMAND, platform::SC_CLOSE, 0);
    ASSERT_TRUE(platform::PeekMessage(&m, true));
    EXPECT_EQ(m.message, platform::WM_CLOSE);
}

namespace {

// Why the saver's own lock is not tested where the system keeps the password.
constexpr const char* kSystemLocks =
    "the system asks for the password and keeps the session itself; the saver holds no "
    "input (ScreenLockOfTheSystem)";

class ScreenLock : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetWindowSystem();
        desktop = &testing_desktop::InstallFakeDesktop();
        View().mode = SaverMode::Saver;
        View().ViewWidth = 800;
        View().ViewHeight = 600;
        platform::RegisterWindowClass("Lock test", SaverWindowProc);
        window = platform::CreateWindow("Lock test", platform::WS_POPUP, 0, 0, 800, 600, 0);
        ASSERT_NE(window, 0u);
    }
    void TearDown() override {
        Input().locked = false;
        platform::ResetWindowSystem();
    }
    platform::MemoryRegistry Secure(std::uint32_t value) {
        platform::MemoryRegistry store;
        store.document.keys.push_back(platform::RegKey{
            "HKEY_CURRENT_USER\\Control Panel\\Desktop",
            {platform::RegValue{"ScreenSaverIsSecure", platform::kRegDword,
                                {static_cast<std::uint8_t>(value), 0, 0, 0}}}});
        return store;
    }

    testing_desktop::FakeWindowBackend* desktop = nullptr;
    platform::WindowHandle window = 0;
};

}  // namespace

// Where the system keeps the password (Windows NT locks the session when the saver
// ends), a password asked for takes no input.
TEST(ScreenLockOfTheSystem, APasswordTakesNothing) {
    if (!platform::UsesSystemPassword()) GTEST_SKIP() << "this system leaves the lock to the saver";
    platform::ResetWindowSystem();
    testing_desktop::FakeWindowBackend& desktop = testing_desktop::InstallFakeDesktop();
    platform::RegisterWindowClass("Lock test", SaverWindowProc);
    const platform::WindowHandle window =
        platform::CreateWindow("Lock test", platform::WS_POPUP, 0, 0, 800, 600, 0);
    ASSERT_NE(window, 0u);
    platform::MemoryRegistry store;
    store.document.keys.push_back(platform::RegKey{
        "HKEY_CURRENT_USER\\Control Panel\\Desktop",
        {platform::RegValue{"ScreenSaverIsSecure", platform::kRegDword, {1, 0, 0, 0}}}});
    EXPECT_TRUE(TakeScreenLock(window, store));
    EXPECT_FALSE(Input().locked);
    EXPECT_EQ(desktop.holder, 0u);
    EXPECT_EQ(desktop.grabAttempts, 0);
    platform::ResetWindowSystem();
}

TEST_F(ScreenLock, WithoutAPasswordNothingIsTaken) {
    platform::MemoryRegistry store = Secure(0);
    EXPECT_TRUE(TakeScreenLock(window, store));
    EXPECT_FALSE(Input().locked);
    EXPECT_EQ(desktop->grabAttempts, 0);
}

TEST_F(ScreenLock, APasswordTakesTheInputWaitingForAnotherProgramToLetGo) {
    if (platform::UsesSystemPassword()) GTEST_SKIP() << kSystemLocks;
    platform::MemoryRegistry store = Secure(1);
    desktop->refusals = 2;
    EXPECT_TRUE(TakeScreenLock(window, store, 500));
    EXPECT_TRUE(Input().locked);
    EXPECT_EQ(desktop->holder, window);
    EXPECT_EQ(desktop->grabAttempts, 3);
}

TEST_F(ScreenLock, InputThatCannotBeHadIsNoLock) {
    if (platform::UsesSystemPassword()) GTEST_SKIP() << kSystemLocks;
    platform::MemoryRegistry store = Secure(1);
    desktop->refuseAlways = true;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(TakeScreenLock(window, store, 50));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(Input().locked);
    EXPECT_EQ(desktop->holder, 0u);
    EXPECT_NE(said.find("the screen cannot be locked"), std::string::npos) << said;
}

TEST_F(ScreenLock, AStoreThatCannotBeParsedLocksAndSaysWhy) {
    if (platform::UsesSystemPassword()) GTEST_SKIP() << kSystemLocks;
    // A store with nothing in it that says why it could not be read, as the store
    // file's backend does for a file it cannot parse.
    class Unreadable : public platform::MemoryRegistry {
        std::string ReadProblem() override { return "user.reg cannot be parsed (line 4: bad value data)"; }
    } store;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(TakeScreenLock(window, store));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(Input().locked);
    EXPECT_EQ(desktop->holder, window);
    EXPECT_NE(said.find("orbsaver: the settings store user.reg cannot be parsed (line 4: bad value "
                        "data); the password is asked for"),
              std::string::npos)
        << said;
}

// The data directory goes into windowsDirectory in the code page, as the default
// model and texture paths made from it are stored; one the code page cannot carry
// stays UTF-8, which opening a stored path tries second.
TEST(WindowsDirectory, IsTheDataDirectoryInTheCodePage) {
    ScopedEnvironment dataDir("ORBSAVER_DATA_DIR", "/opt/orbs\xC3\xA4ver/");  // "orbsäver"
    EXPECT_EQ(WindowsDirectory(1252), "/opt/orbs\xE4ver/");
    dataDir.Set("/opt/\xE6\xA8\xA1\xE5\x9E\x8B/");  // "模型"
    EXPECT_EQ(WindowsDirectory(932), "/opt/\x96\xCD\x8C\x5E/");
    EXPECT_EQ(WindowsDirectory(1252), "/opt/\xE6\xA8\xA1\xE5\x9E\x8B/");  // not in 1252
    dataDir.Set(("/" + std::string(300, 'd') + "/").c_str());
    EXPECT_EQ(WindowsDirectory(1252), "");  // too long for its buffer
}
