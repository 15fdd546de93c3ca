// WGL for the Win32 backends that make GL contexts (the GL surface, the off-screen
// context): the generated loader's WGL extensions (WGL_ARB_create_context and its
// profiles, WGL_ARB_pixel_format, WGL_EXT_swap_control, the extension strings) over
// <windows.h>. Like platform/win32_api.h, which it includes, it comes last, after
// every other platform header a file needs.
#pragma once

#include "platform/gl/gl_api.h"
#include "platform/win32_api.h"

#include <glad/wgl.h>
