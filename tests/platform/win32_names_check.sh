#!/usr/bin/env bash
# Compiles platform/win32_api.h for Windows: it fails when a name our interfaces share
# with <windows.h> has another number there, or when a new name collides with one of
# its macros. Skipped (77) where the Windows cross-compiler is not installed.
set -euo pipefail
source_dir=$1
cxx=x86_64-w64-mingw32-g++-posix
if ! command -v "$cxx" >/dev/null; then
  echo "SKIP: the Windows cross-compiler $cxx is not installed"
  exit 77
fi
printf '#include "platform/win32_api.h"\nint main() { return platform::IsWindow(0) ? 1 : 0; }\n' |
  "$cxx" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I "$source_dir" -x c++ -
