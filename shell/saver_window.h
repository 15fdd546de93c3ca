// The procedure of the saver window.
#pragma once

#include "platform/window.h"

namespace shell {

platform::LRESULT SaverWindowProc(platform::WindowHandle window, std::uint32_t message,
                                  platform::WPARAM wParam, platform::LPARAM lParam);

}  // namespace shell
