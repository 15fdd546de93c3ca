// A folder of a test's own under the system's temporary folder, removed with
// everything in it when the test is done; paths in and out are UTF-8.
#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

class TempFolder {
public:
    TempFolder() {
        static std::atomic<unsigned> count{0};
        path_ = std::filesystem::temp_directory_path() /
                ("orbsaver-test-" + std::to_string(std::random_device{}()) + "-" +
                 std::to_string(count++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        for (const auto& e : std::filesystem::recursive_directory_iterator(path_, ignored)) {
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The UTF-8 path of a file in the folder (a relative name, '/' between parts).
    std::string File(const std::string& name) const {
        const std::u8string u8 = (path_ / std::filesystem::path(std::u8string(name.begin(), name.end())))
                                     .make_preferred()
                                     .u8string();
        return std::string(u8.begin(), u8.end());
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
