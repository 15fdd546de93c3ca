// Dialog windows over the window system and the dialog backend: making them, the
// modal run and its end, and the destruction of a dialog with its child dialogs.
#include "platform/dialog/dialog.h"
#include "platform/backends.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

struct DialogEntry {
    WindowHandle handle = 0;
    WindowHandle parent = 0;
    bool ended = false;
    int result = 0;
};

struct State {
    std::unique_ptr<DialogBackend> backend;
    std::vector<DialogEntry> dialogs;
};

State& S() {
    static State state;
    return state;
}

DialogEntry* Find(WindowHandle h) {
    for (DialogEntry& d : S().dialogs) {
        if (d.handle == h) return &d;
    }
    return nullptr;
}

// After the dialog's own WM_DESTROY: its child dialogs go, then its desktop side.
void OnDialogDestroyed(WindowHandle dialog) {
    std::vector<WindowHandle> children;
    for (const DialogEntry& d : S().dialogs) {
        if (d.parent == dialog) children.push_back(d.handle);
    }
    for (WindowHandle child : children) DestroyWindow(child);
    Dialogs().DestroyDialog(dialog);
    std::erase_if(S().dialogs, [&](const DialogEntry& d) { return d.handle == dialog; });
}

}  // namespace

DialogBackend& Dialogs() {
    State& s = S();
    if (!s.backend) s.backend = CreateDefaultDialogBackend();
    return *s.backend;
}

void SetDialogBackend(std::unique_ptr<DialogBackend> backend) { S().backend = std::move(backend); }

WindowHandle CreateDialogWindow(WindowProc proc, WindowHandle parent, const Rect& r,
                                LPARAM initParam, int templateId) {
    if (!proc || !Dialogs().Available()) return 0;
    const WindowHandle handle = CreateExternalWindow(proc, OnDialogDestroyed);
    if (!handle) return 0;
    S().dialogs.push_back(DialogEntry{handle, parent, false, 0});
    if (!Dialogs().CreateDialog(handle, parent, r, templateId)) {
        DestroyWindow(handle);
        return 0;
    }
    SendMessage(handle, WM_INITDIALOG, 0, initParam);
    return handle;
}

int RunModalDialog(WindowHandle dialog, void (*pump)()) {
    DialogEntry* d = Find(dialog);
    if (!d) return -1;
    if (!d->ended) {
        Dialogs().ShowDialog(dialog, true);
        Dialogs().RunModal(dialog, pump);
    }
    d = Find(dialog);
    const int result = d ? d->result : -1;
    DestroyWindow(dialog);
    return result;
}

void EndDialog(WindowHandle dialog, int result) {
    DialogEntry* d = Find(dialog);
    if (!d || d->ended) return;
    d->ended = true;
    d->result = result;
    Dialogs().EndModal(dialog);
}

LRESULT SendCommand(WindowHandle dialog, int id, int code) {
    return SendMessage(dialog, WM_COMMAND, MakeWParam(id, code), id);
}

}  // namespace platform
