#include "core/session/usable_environments.hpp"

#include "core/ports/port_options.hpp"

namespace orvalix {

std::vector<std::u16string> usableEnvironmentNames(const EnvironmentMap& environments) {
    std::vector<std::u16string> names;
    for (const auto& [name, environment] : environments) {
        if (isUsable(environment.port)) {
            names.push_back(name);
        }
    }
    return names;
}

}  // namespace orvalix
