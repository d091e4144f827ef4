#include "core/platform/file_time.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalix::platform {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::int64_t kTicksPerSecond = 10'000'000;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::optional<std::uint64_t> fileLastWriteTime(const std::filesystem::path& path) {
    // Opening, not just stat, so that a file the reader could not open has no time either.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return std::nullopt;
    }
    const std::int64_t seconds = static_cast<std::int64_t>(status.st_mtim.tv_sec) +
                                 kUnixEpochInFileTimeSeconds;
    if (seconds < 0) {
        return std::nullopt;  // before 1601: no FILETIME for it
    }
    return static_cast<std::uint64_t>(seconds) * kTicksPerSecond +
           static_cast<std::uint64_t>(status.st_mtim.tv_nsec / 100);
}

}  // namespace orvalix::platform
