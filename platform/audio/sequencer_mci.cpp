// The sequencer on Windows: the system's own MCI "sequencer" device, driven by
// mciSendCommandW with the commands and flags the program has always used: open by
// type and element, play with a notice, seek to the start, stop with a notice, close.
// Device IDs are MCI's own, and so are the notices (MM_MCINOTIFY, the outcome in
// wParam, the device ID in lParam); they reach our window through a hidden window of
// the sequencer's (sequencer_mci.h).
//
// Before MCI sees a file, our own reader checks it: a missing file is refused as
// unreadable, a malformed one as no MIDI file, so the system's sequencer only ever
// reads files that our reader accepts. A sequencer that cannot be opened (no MIDI
// output) gives no device and the program runs silent. Nothing here waits for a
// notice: a device that never notifies (as on a machine without MIDI output) only
// means the music does not repeat.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/audio/midi_file.h"
#include "platform/audio/sequencer.h"
#include "platform/audio/sequencer_mci.h"
#include "platform/files/read_file.h"

// Our outcome numbers, taken before <windows.h> turns their names into macros.
namespace {
constexpr platform::WPARAM kOurOutcomes[] = {
    platform::MCI_NOTIFY_SUCCESSFUL, platform::MCI_NOTIFY_SUPERSEDED,
    platform::MCI_NOTIFY_ABORTED, platform::MCI_NOTIFY_FAILURE};
}  // namespace

#include "platform/files/wide_path_win32.h"
#include "platform/win32_api.h"

// A notice is handed on as MCI gives it, so its outcomes must be Windows' numbers.
static_assert(kOurOutcomes[0] == MCI_NOTIFY_SUCCESSFUL);
static_assert(kOurOutcomes[1] == MCI_NOTIFY_SUPERSEDED);
static_assert(kOurOutcomes[2] == MCI_NOTIFY_ABORTED);
static_assert(kOurOutcomes[3] == MCI_NOTIFY_FAILURE);

namespace platform {

namespace {

constexpr wchar_t kNoticeClass[] = L"orbsaver sequencer notices";

struct NoticeWindow {
    WindowHandle target;
    HWND hwnd;
};

struct State {
    std::mutex mutex;
    std::vector<MciDeviceId> devices;   // opened here and not yet closed
    std::vector<NoticeWindow> windows;  // one hidden window for each notified window
};

State& S() {
    static State state;
    return state;
}

bool Known(MciDeviceId id) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return id != 0 && std::find(s.devices.begin(), s.devices.end(), id) != s.devices.end();
}

// Posts what MCI tells the hidden window on to our window it stands for.
LRESULT CALLBACK NoticeProc(HWND hwnd, UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    if (message == MM_MCINOTIFY) {
        const auto target = static_cast<WindowHandle>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (target != 0) PostMessage(target, MM_MCINOTIFY, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeNoticeWindow(WindowHandle target) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &NoticeProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kNoticeClass;
        return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered) return nullptr;
    HWND hwnd = CreateWindowExW(0, kNoticeClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (hwnd) SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(target));
    return hwnd;
}

HWND NoticeWindowFor(WindowHandle target) {
    if (target == 0) return nullptr;
    State& s = S();
    std::lock_guard lock(s.mutex);
    for (const NoticeWindow& w : s.windows) {
        if (w.target == target) return w.hwnd;
    }
    HWND hwnd = MakeNoticeWindow(target);
    if (hwnd) s.windows.push_back(NoticeWindow{target, hwnd});
    return hwnd;
}

// Sends one command to a device of ours; with a window, asks for a notice to it.
bool Command(MciDeviceId id, UINT command, DWORD flags, WindowHandle notify,
             MCI_GENERIC_PARMS* params) {
    if (!Known(id)) return false;
    if (notify != 0) {
        HWND hwnd = NoticeWindowFor(notify);
        if (hwnd) {
            flags |= MCI_NOTIFY;
            params->dwCallback = reinterpret_cast<DWORD_PTR>(hwnd);
        }
    }
    return mciSendCommandW(id, command, flags, reinterpret_cast<DWORD_PTR>(params)) == 0;
}

}  // namespace

std::uint64_t SequencerNoticeWindow(WindowHandle target) {
    return reinterpret_cast<std::uintptr_t>(NoticeWindowFor(target));
}

MciDeviceId SequencerOpen(const std::string& path, SequencerError* error) {
    SequencerError dummy;
    SequencerError& err = error ? *error : dummy;
    std::vector<std::byte> bytes;
    if (!ReadRegularFile(path, kMaxMidiFileBytes, bytes)) {
        err = SequencerError::kCannotRead;
        return 0;
    }
    std::vector<std::uint8_t> plain;
    if (NormalizeMidiFile(bytes, &plain) != MidiError::kOk) {
        err = SequencerError::kNotMidi;
        return 0;
    }
    const std::wstring element = WidePath(path);
    MCI_OPEN_PARMSW open{};
    open.lpstrDeviceType = L"sequencer";
    open.lpstrElementName = element.c_str();
    if (mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                        reinterpret_cast<DWORD_PTR>(&open)) != 0 ||
        open.wDeviceID == 0) {
        err = SequencerError::kNoOutput;
        return 0;
    }
    {
        State& s = S();
        std::lock_guard lock(s.mutex);
        s.devices.push_back(open.wDeviceID);
    }
    err = SequencerError::kOk;
    return open.wDeviceID;
}

bool SequencerPlay(MciDeviceId device, WindowHandle notify) {
    MCI_PLAY_PARMS play{};
    // MCI_GENERIC_PARMS is the common head of every parameter block.
    return Command(device, MCI_PLAY, 0, notify, reinterpret_cast<MCI_GENERIC_PARMS*>(&play));
}

bool SequencerSeekToStart(MciDeviceId device) {
    MCI_SEEK_PARMS seek{};
    return Command(device, MCI_SEEK, MCI_SEEK_TO_START, 0,
                   reinterpret_cast<MCI_GENERIC_PARMS*>(&seek));
}

bool SequencerStop(MciDeviceId device, WindowHandle notify) {
    MCI_GENERIC_PARMS stop{};
    return Command(device, MCI_STOP, 0, notify, &stop);
}

bool SequencerClose(MciDeviceId device) {
    MCI_GENERIC_PARMS close{};
    if (!Known(device)) return false;
    mciSendCommandW(device, MCI_CLOSE, 0, reinterpret_cast<DWORD_PTR>(&close));
    // The device is gone for us whatever MCI answers.
    State& s = S();
    std::lock_guard lock(s.mutex);
    s.devices.erase(std::remove(s.devices.begin(), s.devices.end(), device), s.devices.end());
    return true;
}

bool SequencerPlaying(MciDeviceId device) {
    if (!Known(device)) return false;
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    return mciSendCommandW(device, MCI_STATUS, MCI_STATUS_ITEM,
                           reinterpret_cast<DWORD_PTR>(&status)) == 0 &&
           status.dwReturn == MCI_MODE_PLAY;
}

std::size_t SequencerOpenCount() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return s.devices.size();
}

void PollSequencerNotices() {
    // MCI posts to the hidden windows; their messages are taken here, window by
    // window, so that the notices arrive whatever loop the program runs.
    std::vector<HWND> windows;
    {
        State& s = S();
        std::lock_guard lock(s.mutex);
        for (const NoticeWindow& w : s.windows) windows.push_back(w.hwnd);
    }
    for (HWND hwnd : windows) {
        MSG msg;
        while (PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

// The system's sequencer brings its own instruments.
std::vector<std::string> SoundFontCandidates() {
    return {};
}
std::string FindSoundFont() {
    return {};
}

}  // namespace platform
