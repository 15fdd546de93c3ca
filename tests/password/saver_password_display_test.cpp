// The password in the real saver under an X display: with the password turned on and
// a PAM service of the test's own, a wrong password typed into the saver leaves it
// running, the right one ends it with exit code 0.
#include <gtest/gtest.h>

#include "x_session.h"

using namespace xsession;

TEST(SaverPassword, TheSaverEndsOnlyAfterTheRightPassword) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (make test provides one)";
    Keyboard keyboard;
    ASSERT_TRUE(keyboard.ok());
    if (!keyboard.HasTestExtension()) GTEST_SKIP() << "the display has no XTEST extension";

    SaverHome home("orbsaver-password-display");
    home.WriteStore("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                    "\"ScreenSaverIsSecure\"=dword:00000001\r\n\r\n");
    home.Accept();

    const pid_t saver = Spawn({kBinary, "/s"}, home.Environment());
    ASSERT_GT(saver, 0);
    const std::string wait = kXtool + " wait 'D3DRM Example' 10 >/dev/null";
    ASSERT_EQ(std::system(wait.c_str()), 0) << "the saver window did not appear";
    std::this_thread::sleep_for(std::chrono::seconds(1));

    // A movement asks for the password; a wrong one keeps the saver running.
    keyboard.MoveTo(100, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    keyboard.MoveTo(300, 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    keyboard.Type(U"wrong horse");
    keyboard.Tap(XK_Return);
    EXPECT_EQ(ExitCodeAfter(saver, std::chrono::seconds(3)), -1)
        << "a wrong password ended the saver";

    // After the refusal's delay, a key asks again; the right password, which has a
    // letter beyond ASCII and a slip taken back, ends the saver.
    keyboard.Tap(XK_space);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    keyboard.Type(U"right h\u00F6rse\u20AC");
    keyboard.Tap(XK_BackSpace);
    keyboard.Tap(XK_Return);
    EXPECT_EQ(ExitCodeAfter(saver, std::chrono::seconds(10)), 0);
    Kill(saver);
}
