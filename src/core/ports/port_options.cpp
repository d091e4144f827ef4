#include "core/ports/port_options.hpp"

#include <type_traits>

namespace orvalix {

PortKind portKind(const PortOptions& options) {
    return std::visit([](const auto& kind) { return std::decay_t<decltype(kind)>::kKind; }, options.kind);
}

bool isUsable(const PortOptions& options) { return portKind(options) != PortKind::None; }

}  // namespace orvalix
