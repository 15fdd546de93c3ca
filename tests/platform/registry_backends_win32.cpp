// The target's registry on Windows: Windows' own, below a key each test removes.
#include "platform/registry/registry_win32.h"
#include "tests/platform/registry_backends.h"

TargetBackend::TargetBackend() = default;
TargetBackend::~TargetBackend() = default;

std::unique_ptr<platform::Registry> TargetBackend::Make() { return platform::CreateWin32Registry(); }

void TargetBackend::Remove(const std::string& root) { platform::DeleteWin32KeyTree(root); }
