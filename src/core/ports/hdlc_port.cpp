#include "core/ports/hdlc_port.hpp"

#include <algorithm>
#include <utility>

#include "core/platform/event.hpp"
#include "core/ports/hdlc_library.hpp"
#include "core/ports/hdlc_settings.hpp"
#include "core/ports/hdlc_write_record_impl.hpp"
#include "core/ports/port_impl.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {

HdlcPort::HdlcPort(std::shared_ptr<HdlcLibrary> library, std::int32_t handle)
    : library_(std::move(library)), handle_(handle) {
    try {
        writeRecord_ = std::make_unique<HdlcWriteRecord>();
    } catch (...) {
        close();
        throw;
    }
}

HdlcPort::HdlcPort(HdlcPort&& other) noexcept
    : library_(std::move(other.library_)),
      handle_(std::exchange(other.handle_, -1)),
      writeRecord_(std::move(other.writeRecord_)) {}

HdlcPort& HdlcPort::operator=(HdlcPort&& other) noexcept {
    if (this != &other) {
        close();
        library_ = std::move(other.library_);
        handle_ = std::exchange(other.handle_, -1);
        writeRecord_ = std::move(other.writeRecord_);
    }
    return *this;
}

HdlcPort::~HdlcPort() { close(); }

void HdlcPort::close() {
    if (library_ && handle_ != -1) {
        library_->close(handle_);
    }
    handle_ = -1;
}

std::size_t HdlcPort::read(std::span<std::uint8_t> buffer, std::uint32_t& /*status*/,
                           SocketAddress& /*sender*/) {
    if (!library_ || library_->frameCount(handle_) == 0) {
        return 0;
    }
    return library_->receiveFrame(handle_, buffer);
}

void HdlcPort::write(std::span<const std::uint8_t> data, const SocketAddress& /*destination*/) {
    if (!library_ || !writeRecord_) {
        return;
    }
    fbiHdlcPrepareOverlapped(&writeRecord_->overlapped, writeRecord_->event.nativeHandle());
    library_->sendFrame(handle_, data, *writeRecord_);
}

bool HdlcPort::writeFinished() { return writeRecord_ && writeRecord_->event.tryWait(); }

std::optional<HdlcPort> openHdlcPort(std::u16string_view channel, const HdlcOptions& board,
                                     std::shared_ptr<HdlcLibrary> library) {
    if (!library) {
        return std::nullopt;
    }
    const std::string boardName = toNarrow(channel);
    const std::int32_t handle = library->open(boardName, makeHdlcSettings(board));
    if (handle == -1) {
        return std::nullopt;
    }
    return HdlcPort(std::move(library), handle);
}

}  // namespace orvalix
