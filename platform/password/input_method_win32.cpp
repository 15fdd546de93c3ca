// The input method on Windows: typed characters always arrive as WM_CHAR, so there is
// nothing to start; ending cancels any composition the focused window's input context
// holds, so that none outlives the password dialog.
#include "platform/password/input_method.h"

#include "platform/win32_api.h"

#include <imm.h>

namespace platform {

void BeginTextInput() {}

void EndTextInput() {
    HWND window = GetFocus();
    if (!window) return;
    HIMC context = ImmGetContext(window);
    if (!context) return;
    ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
    ImmReleaseContext(window, context);
}

}  // namespace platform
