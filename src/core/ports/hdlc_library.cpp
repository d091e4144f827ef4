#include "core/ports/hdlc_library.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "core/platform/module_path.hpp"
#include "core/ports/hdlc_write_record_impl.hpp"

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

struct HdlcLibrary::EntryPoints {
    FbiHdlcOpenFunction open = nullptr;
    FbiHdlcCloseFunction close = nullptr;
    FbiHdlcSendFrameFunction sendFrame = nullptr;
    FbiHdlcGetFrameCountFunction getFrameCount = nullptr;
    FbiHdlcReceiveFrameFunction receiveFrame = nullptr;
};

HdlcLibrary::HdlcLibrary() : HdlcLibrary(defaultCandidates()) {}

HdlcLibrary::HdlcLibrary(std::vector<std::filesystem::path> candidates)
    : candidates_(std::move(candidates)), entry_(std::make_unique<EntryPoints>()) {}

HdlcLibrary::~HdlcLibrary() = default;

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
    entry_->open = lookUp<FbiHdlcOpenFunction>(module_, "HdlcOpen");
    entry_->close = lookUp<FbiHdlcCloseFunction>(module_, "HdlcClose");
    entry_->sendFrame = lookUp<FbiHdlcSendFrameFunction>(module_, "HdlcSendFrame");
    entry_->getFrameCount = lookUp<FbiHdlcGetFrameCountFunction>(module_, "HdlcGetFrameCount");
    entry_->receiveFrame = lookUp<FbiHdlcReceiveFrameFunction>(module_, "HdlcReceiveFrame");
}

std::int32_t HdlcLibrary::open(std::string_view boardName, const HdlcSettingsWords& settings) {
    load();
    if (entry_->open == nullptr) {
        return -1;
    }
    HdlcSettings record{};
    std::copy(settings.begin(), settings.end(), record.words);
    const std::string name(boardName);
    return entry_->open(name.c_str(), &record);
}

void HdlcLibrary::close(std::int32_t handle) {
    load();
    if (entry_->close != nullptr) {
        entry_->close(handle);
    }
}

std::uint32_t HdlcLibrary::frameCount(std::int32_t handle) {
    load();
    if (entry_->getFrameCount == nullptr) {
        return 0;
    }
    std::uint32_t count = 0;
    return entry_->getFrameCount(handle, &count) == 0 ? count : 0;
}

std::size_t HdlcLibrary::receiveFrame(std::int32_t handle, std::span<std::uint8_t> buffer) {
    load();
    if (entry_->receiveFrame == nullptr || buffer.size() < FBIHDLC_MAX_FRAME_LENGTH) {
        return 0;
    }
    std::int32_t length = 0;
    if (entry_->receiveFrame(handle, buffer.data(), &length) != 0 || length < 0) {
        return 0;
    }
    // The library is not told the buffer's size; never trust it with more.
    return std::min<std::size_t>(static_cast<std::size_t>(length), FBIHDLC_MAX_FRAME_LENGTH);
}

bool HdlcLibrary::sendFrame(std::int32_t handle, std::span<const std::uint8_t> frame,
                            HdlcWriteRecord& record) {
    load();
    if (entry_->sendFrame == nullptr) {
        return false;
    }
    entry_->sendFrame(handle, frame.data(), static_cast<std::int32_t>(frame.size()), 1, &record.overlapped);
    return true;
}

}  // namespace orvalix
