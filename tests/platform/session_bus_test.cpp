// The saver and the preview never wait for a session bus to be launched for them:
// where the session has a bus, it is left to be found; where it has none, libdbus is
// given an address that ends its search at once instead of starting a daemon.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "platform/backends.h"
#include "tests/support/temp_folder.h"

namespace {

// Sets or clears an environment variable for one test, and puts it back after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) setenv(name, value, 1); else unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1); else unsetenv(name_);
    }
private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string Address() {
    const char* a = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return a ? a : "(unset)";
}

}  // namespace

TEST(SessionBus, ASessionWithABusKeepsItAndOneWithoutGetsNoLaunch) {
    TempFolder runtime;
    ScopedEnv dir("XDG_RUNTIME_DIR", runtime.path().c_str());
    {
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
        platform::ForgoSessionBusLaunch();
        EXPECT_EQ("unix:path=/run/user/1000/bus", Address()) << "an address the session set";
    }
    {
        // No address and no socket: a plain file named like the socket is none.
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
        std::ofstream(runtime.path() / "bus") << "not a socket";
        platform::ForgoSessionBusLaunch();
        EXPECT_EQ("disabled:", Address());
    }
    {
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", "");
        ScopedEnv noDir("XDG_RUNTIME_DIR", nullptr);
        platform::ForgoSessionBusLaunch();
        EXPECT_EQ("disabled:", Address()) << "an empty address is none";
    }
    {
        // The user's bus socket, which libdbus finds itself.
        std::filesystem::remove(runtime.path() / "bus");
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        const std::string path = (runtime.path() / "bus").string();
        ASSERT_LT(path.size(), sizeof where.sun_path);
        path.copy(where.sun_path, path.size());
        ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where));
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
        platform::ForgoSessionBusLaunch();
        EXPECT_EQ("(unset)", Address()) << "the user's bus socket is left to be found";
        close(fd);
    }
}

// What the address does to libdbus itself: the connection is refused for the
// address alone, before any bus is looked for or launched (a launch that fails says
// that it could not spawn or find one instead).
TEST(SessionBus, LibdbusGivenTheAddressFailsAtOnce) {
    void* dbus = dlopen("libdbus-1.so.3", RTLD_NOW | RTLD_LOCAL);
    if (!dbus) GTEST_SKIP() << "libdbus-1.so.3 is not installed";
    struct Error {  // DBusError's layout
        const char* name;
        const char* message;
        unsigned flags;
        void* padding;
    };
    using Init = void (*)(Error*);
    using Get = void* (*)(int, Error*);
    auto init = reinterpret_cast<Init>(dlsym(dbus, "dbus_error_init"));
    auto get = reinterpret_cast<Get>(dlsym(dbus, "dbus_bus_get_private"));
    ASSERT_TRUE(init && get);
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
    ScopedEnv noDir("XDG_RUNTIME_DIR", nullptr);
    platform::ForgoSessionBusLaunch();
    Error error{};
    init(&error);
    void* connection = get(0 /* DBUS_BUS_SESSION */, &error);
    EXPECT_EQ(nullptr, connection);
    ASSERT_NE(nullptr, error.name);
    EXPECT_STREQ("org.freedesktop.DBus.Error.BadAddress", error.name) << (error.message ? error.message : "");
}
