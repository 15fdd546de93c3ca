// The program's side of the GTK module: finding and opening it on first use, and the
// dialog functions that hand over to it. Where the module cannot be opened the dialogs
// are unavailable, and saying why is the run's failure.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/dialog/dialog_unavailable.h"
#include "platform/dialog/gtk_module.h"
#include "platform/report/report.h"

#ifndef ORBSAVER_MODULE_SUBDIR
#error "ORBSAVER_MODULE_SUBDIR must give the module directory relative to the program's"
#endif

namespace platform {

namespace {

std::string ExecutableDirectory() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    const std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> GtkModuleDirectories() {
    const std::string exe = ExecutableDirectory();
    if (exe.empty()) return {};
    return {exe, exe + "/" ORBSAVER_MODULE_SUBDIR};
}

const GtkModule* LoadGtkModule(const std::vector<std::string>& directories,
                               std::string* reason) {
    std::string path;
    for (const std::string& dir : directories) {
        const std::string candidate = dir + "/" + kGtkModuleFile;
        if (access(candidate.c_str(), F_OK) == 0) {
            path = candidate;
            break;
        }
    }
    if (path.empty()) {
        *reason = std::string(kGtkModuleFile) + " is in none of";
        for (const std::string& dir : directories) *reason += " " + dir;
        if (directories.empty()) *reason += " the program's directories";
        return nullptr;
    }
    // Every symbol now: a module that lacks one fails here, not in the middle of a dialog.
    // Global: GTK's builder finds the types its own interface files name (the font
    // chooser's Pango types) by looking up their functions in the program's namespace.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        const char* why = dlerror();
        *reason = why ? why : path + ": cannot be opened";
        return nullptr;
    }
    using Entry = const GtkModule* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, "orbsaver_gtk_module"));
    const GtkModule* module = entry ? entry() : nullptr;
    if (!module || module->version != kGtkModuleVersion || !module->createDialogBackend ||
        !module->showMessageBox || !module->primaryScreenSize || !module->runPictureDialog) {
        *reason = path + " is not this program's module";
        dlclose(handle);
        return nullptr;
    }
    // Kept open for the life of the program: the backend and its windows live as long.
    return module;
}

namespace {

struct Opened {
    const GtkModule* module = nullptr;
    std::string reason;
    bool told = false;  // the reason was reported, or handed to one who reports it
};

Opened& OpenOnce() {
    static Opened opened;
    static std::once_flag once;
    std::call_once(once, [] { opened.module = LoadGtkModule(GtkModuleDirectories(), &opened.reason); });
    return opened;
}

}  // namespace

const GtkModule* TheGtkModule(std::string* reason) {
    Opened& opened = OpenOnce();
    if (!opened.module && !opened.told) {
        opened.told = true;
        Report("orbsaver: cannot load the dialogs: " + opened.reason);
    }
    if (reason) *reason = opened.reason;
    return opened.module;
}

std::unique_ptr<DialogBackend> CreateGtkDialogBackend() {
    Opened& opened = OpenOnce();
    if (opened.module) return opened.module->createDialogBackend();
    // The dialogs' users report an unavailable backend's reason themselves.
    opened.told = true;
    return CreateUnavailableDialogBackend("cannot load the dialogs: " + opened.reason,
                                          /*failure=*/true);
}

void ShowMessageBox(const std::string& title, const std::string& text, MessageBoxKind kind) {
    // Tests and runs without a desktop see the box's words on stderr.
    std::string line = title + ": " + text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    Report(line);
    if (std::getenv("ORBSAVER_NO_MESSAGE_BOXES")) return;
    if (const GtkModule* module = TheGtkModule()) module->showMessageBox(title, text, kind);
}

bool PrimaryScreenSize(int* width, int* height) {
    const GtkModule* module = TheGtkModule();
    return module && module->primaryScreenSize(width, height);
}

bool RunPictureDialog(const PictureDialog& dialog) {
    const GtkModule* module = TheGtkModule();
    return module && module->runPictureDialog(dialog);
}

}  // namespace platform
