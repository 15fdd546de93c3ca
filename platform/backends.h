// Which backend of each service the program runs with. Each service makes its
// backend on first use through these, unless a test set another one first; one file
// per target defines them (backends_linux.cpp, backends_win32.cpp), so that the
// choice for a target is made in one place and nowhere else.
#pragma once

#include <memory>

namespace platform {

class WindowBackend;
class DialogBackend;
class AudioBackend;
class PasswordService;
class Registry;

// The desktop's windows; where the desktop cannot be reached, a backend that makes
// no window, never a pretend desktop.
std::unique_ptr<WindowBackend> CreateDefaultWindowBackend();
std::unique_ptr<DialogBackend> CreateDefaultDialogBackend();
std::unique_ptr<AudioBackend> CreateDefaultAudioBackend();
// The check of the user's password for a locked saver.
std::unique_ptr<PasswordService> CreateDefaultPasswordService();
// The user's registry: the store file on Linux, Windows' own registry on Windows.
std::unique_ptr<Registry> CreateDefaultUserRegistry();

// The full-screen saver and the preview need nothing from the desktop's session bus:
// they take no text input and keep no screen awake. Where the session has no bus to
// reach, this keeps the libraries the window backend starts from launching one of
// their own for the process (and its children). Call it before the program starts
// any thread, as it may change the environment.
void ForgoSessionBusLaunch();

// For a process that never takes typed text (the full-screen saver without a
// password, the preview, a host's saver): the window backend's input method opens
// without reading the locale's table of compose sequences. Keys still arrive, with
// their characters; only sequences made with a compose or dead key are gone. Call it
// before the program starts any thread, as it changes the environment.
void ForgoComposeTable();

}  // namespace platform
