// A window of another process for the preview test: a 400 x 300 popup at (100, 100)
// of the screen, whose handle it prints in decimal ("HWND x y width height"), as
// Screen Saver Settings hands its little monitor to "/p". Two seconds before its
// window goes, it prints what child window it holds then ("child CLASS width height",
// or "child none"). Whenever its window is disabled or enabled again (a dialog of
// another process modal to it), it prints "enabled 0" or "enabled 1". The window goes
// after the number of seconds given (default 5); then the program ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"OrbsaverPreviewParent";
    if (!RegisterClassW(&wc)) return 1;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"preview parent", WS_POPUP | WS_VISIBLE,
                                  100, 100, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 1;
    std::printf("%llu 100 100 400 300\n",
                static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
    std::fflush(stdout);
    const UINT lifetime = static_cast<UINT>(seconds > 2 ? seconds : 3) * 1000;
    SetTimer(window, 1, lifetime - 2000, nullptr);
    SetTimer(window, 2, lifetime, nullptr);
    SetTimer(window, 3, 100, nullptr);
    BOOL enabled = TRUE;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == 3) {
            if (IsWindowEnabled(window) != enabled) {
                enabled = !enabled;
                std::printf("enabled %d\n", enabled ? 1 : 0);
                std::fflush(stdout);
            }
            continue;
        }
        if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == 1) {
            KillTimer(window, 1);
            HWND child = GetWindow(window, GW_CHILD);
            wchar_t name[64] = L"";
            RECT area{};
            if (child && GetClassNameW(child, name, 64) > 0 && GetClientRect(child, &area)) {
                std::printf("child %ls %ld %ld\n", name, area.right - area.left, area.bottom - area.top);
            } else {
                std::printf("child none\n");
            }
            std::fflush(stdout);
            continue;
        }
        if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == 2) {
            DestroyWindow(window);
            continue;
        }
        DispatchMessageW(&msg);
    }
    return 0;
}
