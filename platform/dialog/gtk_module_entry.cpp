// The GTK module's entry point: its table of the dialog backend, the message box and
// the picture dialog.
#include "platform/dialog/gtk_common.h"
#include "platform/dialog/gtk_module.h"

extern "C" __attribute__((visibility("default"))) const platform::GtkModule*
orbsaver_gtk_module() {
    static const platform::GtkModule table{
        platform::kGtkModuleVersion, &platform::MakeGtkDialogBackend,
        &platform::GtkShowMessageBox, &platform::GtkPrimaryScreenSize,
        &platform::GtkRunPictureDialog};
    return &table;
}
