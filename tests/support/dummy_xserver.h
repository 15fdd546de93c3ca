// An X server of a test's (or a benchmark's) own with several monitors: Xorg with
// the dummy video driver and a configuration written for it, on a display it picks
// itself.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "spawn_x_server.h"

namespace xsession {

// The modes the dummy monitors offer: their own (1024 x 768) and the saver's.
inline constexpr char kDummyXorgConfig[] =
    "Section \"Device\"\n  Identifier \"dummy\"\n  Driver \"dummy\"\n  VideoRam 256000\nEndSection\n"
    "Section \"Monitor\"\n  Identifier \"monitor\"\n  HorizSync 5.0-1000.0\n"
    "  VertRefresh 5.0-200.0\n"
    "  Modeline \"1024x768\" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync\n"
    "  Modeline \"800x600\" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync\n"
    "EndSection\n"
    "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"dummy\"\n  Monitor \"monitor\"\n"
    "  DefaultDepth 24\n  SubSection \"Display\"\n    Depth 24\n"
    "    Modes \"1024x768\" \"800x600\"\n    Virtual 4096 1536\n  EndSubSection\nEndSection\n";

// A real X server with the dummy driver on a display it picks itself. Not there when
// Xorg or the driver is missing or the server will not start here; reason() says why.
class DummyXServer {
  public:
    explicit DummyXServer(const std::vector<std::string>& extra) {
        namespace fs = std::filesystem;
        if (access("/usr/bin/Xorg", X_OK) != 0) {
            reason_ = "Xorg is not installed";
            return;
        }
        if (!fs::exists("/usr/lib/xorg/modules/drivers/dummy_drv.so")) {
            reason_ = "the dummy video driver is not installed";
            return;
        }
        if (access("/usr/bin/xrandr", X_OK) != 0) {
            reason_ = "xrandr is not installed";
            return;
        }
        dir_ = fs::temp_directory_path() / ("orbsaver-xorg-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "xorg.conf") << kDummyXorgConfig;
        std::vector<std::string> args = {"/usr/bin/Xorg", "-noreset", "-nolisten", "tcp",
                                         // The console stays as it is.
                                         "-sharevts", "-novtswitch", "-config",
                                         (dir_ / "xorg.conf").string(), "-logfile",
                                         (dir_ / "log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        const std::string number = SpawnXServer(std::move(args), true, &pid_);
        if (number.empty()) {
            reason_ = "Xorg with the dummy driver does not start here (see its log)";
            std::ifstream log(dir_ / "log");
            for (std::string line; std::getline(log, line);) {
                if (line.find("(EE)") != std::string::npos) reason_ += "; " + line;
            }
            return;
        }
        display_ = ":" + number;
    }
    ~DummyXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    const std::string& display() const { return display_; }
    const std::string& reason() const { return reason_; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    std::filesystem::path dir_;
    std::string display_, reason_;
};

inline int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// The dummy outputs DUMMY1 on get a 1024 x 768 mode of their own, as a second
// monitor would offer it.
inline bool AddMode(int output) {
    // Made once per server; asking again only fails.
    Shell("xrandr --newmode 1024x768_b 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync");
    return Shell("xrandr --addmode DUMMY" + std::to_string(output) + " 1024x768_b") == 0;
}

inline bool PlugIn(int output, const std::string& where) {
    return AddMode(output) && Shell("xrandr --output DUMMY" + std::to_string(output) +
                                    " --mode 1024x768_b " + where) == 0;
}

inline bool Unplug(int output) { return Shell("xrandr --output DUMMY" + std::to_string(output) + " --off") == 0; }

}  // namespace xsession
