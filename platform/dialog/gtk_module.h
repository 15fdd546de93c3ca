// The GTK dialogs are a module of their own, orbsaver-gtk.so, which the program opens
// with dlopen the first time it shows a dialog, a box or the picture dialog. Linked
// into the program, GTK and the seventy libraries under it would be loaded, relocated
// and kept resident by every run, also by the full-screen saver and the preview that
// never show a dialog. The module uses the program's own platform functions (the
// program exports them), so there is one window list, one message queue and one report
// sink, whichever side calls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"
#include "platform/dialog/message_box.h"
#include "platform/dialog/picture_dialog.h"

namespace platform {

// The module's file name, and the version of the table below: a module built from
// other sources than the program's is refused.
inline constexpr const char* kGtkModuleFile = "orbsaver-gtk.so";
inline constexpr int kGtkModuleVersion = 1;

// What the module gives the program. Each entry is the GTK side of the function of the
// same name (dialog.h, message_box.h, picture_dialog.h).
struct GtkModule {
    int version = 0;
    std::unique_ptr<DialogBackend> (*createDialogBackend)() = nullptr;
    // Shows the box only; the program has reported its words already.
    void (*showMessageBox)(const std::string& title, const std::string& text,
                           MessageBoxKind kind) = nullptr;
    bool (*primaryScreenSize)(int* width, int* height) = nullptr;
    bool (*runPictureDialog)(const PictureDialog& dialog) = nullptr;
};

// The directories the module is looked for in, in order: the program's own directory
// (a build), then the installed layout's module directory beside the program's.
std::vector<std::string> GtkModuleDirectories();

// Opens kGtkModuleFile from the first of the directories that holds it and takes its
// table. Null, with the reason in *reason, when no directory holds it or it cannot be
// opened or is of another version; a module that cannot be used is not kept open.
const GtkModule* LoadGtkModule(const std::vector<std::string>& directories,
                               std::string* reason);

// The program's module, opened on first use. Null when it cannot be; the reason is
// reported once, as "orbsaver: cannot load the dialogs: REASON", and given in *reason.
// CreateGtkDialogBackend gives the reason as its unavailable backend's instead.
const GtkModule* TheGtkModule(std::string* reason = nullptr);

}  // namespace platform

// The module's one entry point.
extern "C" const platform::GtkModule* orbsaver_gtk_module();
