// What the GTK parts of the platform share: GTK started once, on X11 (the previews
// are X windows inside GTK's), and the top-level GTK window of a dialog, so that the
// boxes and choosers opened over it can belong to it.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/dialog/dialog.h"
#include "platform/dialog/message_box.h"
#include "platform/dialog/picture_dialog.h"
#include "platform/window/window.h"

namespace platform {

// Starts GTK on first use; false when there is no display to show it on.
bool EnsureGtk();

// Lets GTK handle what is waiting (a window just closed goes from the screen), a
// bounded number of turns: sources that are always ready cannot hold the caller.
void SettleGtk();

// The primary monitor (the first one when none is marked), or nullptr.
GdkMonitor* PrimaryMonitor();

// The GTK window of a dialog window, or of the dialog a page belongs to; nullptr
// when the handle is no dialog of the GTK backend.
GtkWindow* DialogToplevel(WindowHandle dialog);

// The module's sides of CreateGtkDialogBackend, ShowMessageBox (the box alone),
// PrimaryScreenSize and RunPictureDialog (gtk_module.h).
std::unique_ptr<DialogBackend> MakeGtkDialogBackend();
void GtkShowMessageBox(const std::string& title, const std::string& text, MessageBoxKind kind);
bool GtkPrimaryScreenSize(int* width, int* height);
bool GtkRunPictureDialog(const PictureDialog& dialog);

}  // namespace platform
