// The MCI sequencer's partner for tests and for the Win32 window backend: where MCI
// sends its notices. MCI posts MM_MCINOTIFY to a native window (an HWND); the
// sequencer gives it a hidden message-only window of its own for each of our windows
// that asked for notices, and that window's procedure posts the notice, with the same
// wParam and lParam, to our window with platform::PostMessage. So the notices reach
// our windows whatever window backend runs.
#pragma once

#include <cstdint>

#include "platform/window/window.h"

namespace platform {

// The native id (HWND) of the hidden window that forwards MCI's notices to target,
// made on the calling thread when there is none yet; 0 when it cannot be made. Its
// messages are taken by PollSequencerNotices, and by any loop that takes the
// thread's messages.
std::uint64_t SequencerNoticeWindow(WindowHandle target);

}  // namespace platform
