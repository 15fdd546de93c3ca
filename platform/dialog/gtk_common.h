// What the GTK parts of the platform share: GTK started once, on X11 (the previews
// are X windows inside GTK's), and the top-level GTK window of a dialog, so that the
// boxes and choosers opened over it can belong to it.
#pragma once

#include <gtk/gtk.h>

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

}  // namespace platform
