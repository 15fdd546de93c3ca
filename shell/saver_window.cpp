// The saver window's procedure: what each window message does to the saver.
#include "shell/saver_window.h"

#include "shell/shell_state.h"

namespace shell {

using namespace platform;

LRESULT SaverWindowProc(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SETCURSOR:
            if (Shell().mode == SaverMode::Saver) ShowCursor(false);
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == SC_KEYMENU) return 0;
            return DefWindowProc(window, message, wParam, lParam);
        default:
            return DefWindowProc(window, message, wParam, lParam);
    }
}

}  // namespace shell
