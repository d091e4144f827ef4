#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/project/loaders.hpp"

namespace orvalix {

void loadProject(std::u16string_view dataFolder, Project& project) {
    std::vector<std::u16string> names;
    findEnvironmentNames(dataFolder, names);

    // A name that two files yield loads its files twice over the same entry.
    EnvironmentMap environments;
    for (const std::u16string& environmentName : names) {
        Environment& environment = environments[environmentName];
        readEnvironmentFile(dataFolder, environmentName, environment.port);
        readSequenceFile(dataFolder, environmentName, environment.sequence);
        readNamedFile(dataFolder, environmentName, environment.namedConditions);
        readFaultFile(dataFolder, environmentName, environment.faults);
    }

    FrameMap frames;
    FrameFileTimes fileTimes;
    refreshFrames(dataFolder, environments, frames, fileTimes);

    // dataFolder may view the project's own folder text, so it is copied before replacing.
    project = Project{std::u16string(dataFolder), std::make_shared<const EnvironmentMap>(std::move(environments)),
                      std::move(frames), std::move(fileTimes)};
}

}  // namespace orvalix
