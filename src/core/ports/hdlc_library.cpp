#include "core/ports/hdlc_library.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "core/platform/module_path.hpp"

namespace orvalix {
namespace {

std::vector<std::filesystem::path> defaultCandidates() {
    const std::string fileName = platform::sharedLibraryFileName("FbiHdlc");
    const std::filesystem::path programFolder = platform::executableFolder();
    // Beside the program in the build tree and the Windows package; lib/orvalix beside bin
    // where cmake --install puts it (cmake/Install.cmake).
    return {programFolder / fileName, programFolder.parent_path() / "lib" / "orvalix" / fileName,
            std::filesystem::path(fileName)};
}

template <typename Function>
Function lookUp(const platform::DynamicLibrary& module, const char* name) {
    // Function pointers from a symbol address: the loader's contract, not portable C++.
    return reinterpret_cast<Function>(module.symbol(name));
}

}  // namespace

HdlcLibrary::HdlcLibrary() : HdlcLibrary(defaultCandidates()) {}

HdlcLibrary::HdlcLibrary(std::vector<std::filesystem::path> candidates)
    : candidates_(std::move(candidates)) {}

void HdlcLibrary::load() {
    if (loadAttempted_ || module_.loaded()) {
        return;
    }
    loadAttempted_ = true;
    for (const auto& candidate : candidates_) {
        platform::DynamicLibrary module(candidate);
        if (module.loaded()) {
            module_ = std::move(module);
            break;
        }
    }
    if (!module_.loaded()) {
        return;
    }
    open_ = lookUp<FbiHdlcOpenFunction>(module_, "HdlcOpen");
    close_ = lookUp<FbiHdlcCloseFunction>(module_, "HdlcClose");
    sendFrame_ = lookUp<FbiHdlcSendFrameFunction>(module_, "HdlcSendFrame");
    getFrameCount_ = lookUp<FbiHdlcGetFrameCountFunction>(module_, "HdlcGetFrameCount");
    receiveFrame_ = lookUp<FbiHdlcReceiveFrameFunction>(module_, "HdlcReceiveFrame");
}

std::int32_t HdlcLibrary::open(std::string_view boardName, HdlcSettings& settings) {
    load();
    if (open_ == nullptr) {
        return -1;
    }
    const std::string name(boardName);
    return open_(name.c_str(), &settings);
}

void HdlcLibrary::close(std::int32_t handle) {
    load();
    if (close_ != nullptr) {
        close_(handle);
    }
}

std::uint32_t HdlcLibrary::frameCount(std::int32_t handle) {
    load();
    if (getFrameCount_ == nullptr) {
        return 0;
    }
    std::uint32_t count = 0;
    return getFrameCount_(handle, &count) == 0 ? count : 0;
}

std::size_t HdlcLibrary::receiveFrame(std::int32_t handle, std::span<std::uint8_t> buffer) {
    load();
    if (receiveFrame_ == nullptr || buffer.size() < FBIHDLC_MAX_FRAME_LENGTH) {
        return 0;
    }
    std::int32_t length = 0;
    if (receiveFrame_(handle, buffer.data(), &length) != 0 || length < 0) {
        return 0;
    }
    // The library is not told the buffer's size; never trust it with more.
    return std::min<std::size_t>(static_cast<std::size_t>(length), FBIHDLC_MAX_FRAME_LENGTH);
}

bool HdlcLibrary::sendFrame(std::int32_t handle, std::span<const std::uint8_t> frame,
                            FbiHdlcOverlapped& overlapped) {
    load();
    if (sendFrame_ == nullptr) {
        return false;
    }
    sendFrame_(handle, frame.data(), static_cast<std::int32_t>(frame.size()), 1, &overlapped);
    return true;
}

}  // namespace orvalix
