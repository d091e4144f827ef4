#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace orvalix::test {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("orvalix-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        if (!std::filesystem::create_directory(path_)) {
            throw std::runtime_error("no unique temporary folder");
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::u16string wide() const { return path_.u16string(); }
    std::filesystem::path file(std::u16string_view name) const { return path_ / std::u16string(name); }

    // Writes the bytes as given (UTF-8 text), replacing any earlier content.
    std::filesystem::path write(std::u16string_view name, std::string_view bytes) const {
        std::filesystem::path target = file(name);
        if (!std::ofstream(target, std::ios::binary | std::ios::trunc).write(bytes.data(), std::ssize(bytes))) {
            throw std::runtime_error("cannot write " + target.string());
        }
        return target;
    }

private:
    std::filesystem::path path_;
};

}  // namespace orvalix::test
