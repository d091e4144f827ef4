#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/text/language.hpp"

namespace orvalix::ui {

// The main window's status bar: the latest port event of the run, in the user's language.

// "S1: port COM3 lost: <reason>"; the port stays closed for the rest of the run.
std::u16string portLostStatus(Language language, std::u16string_view environment, std::u16string_view port,
                              std::u16string_view reason);

// "F1: the system dropped 5120 datagrams (8192 in all): the receive buffer was full"
std::u16string datagramsDroppedStatus(Language language, std::u16string_view environment, std::uint64_t added,
                                      std::uint64_t total);

// "capture stopped: <file>: <reason>": a write to the capture file failed; the run goes on.
std::u16string captureStoppedStatus(Language language, std::u16string_view file, std::u16string_view reason);

}  // namespace orvalix::ui
