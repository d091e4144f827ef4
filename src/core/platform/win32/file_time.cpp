#include "core/platform/file_time.hpp"

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

std::optional<std::uint64_t> fileLastWriteTime(const std::filesystem::path& path) {
    // Read sharing only: a file still open for writing gives no time, and the caller reads it.
    const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FILETIME lastWrite{};
    if (!::GetFileTime(file.get(), nullptr, nullptr, &lastWrite)) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(lastWrite.dwHighDateTime) << 32) |
           lastWrite.dwLowDateTime;
}

}  // namespace orvalix::platform
