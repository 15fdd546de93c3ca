// The target's registry on Linux: the store file, in a folder of the test's own.
#include <filesystem>
#include <random>

#include "platform/registry/registry_file.h"
#include "tests/platform/registry_backends.h"

TargetBackend::TargetBackend() {
    folder = (std::filesystem::temp_directory_path() /
              ("orbsaver-registry-" + std::to_string(std::random_device{}())))
                 .string();
}

TargetBackend::~TargetBackend() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::unique_ptr<platform::Registry> TargetBackend::Make() {
    return std::make_unique<platform::FileRegistry>(folder + "/orbsaver/user.reg", 1252);
}

void TargetBackend::Remove(const std::string&) {}
