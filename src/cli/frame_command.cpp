#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/command_start.hpp"
#include "cli/commands.hpp"
#include "cli/named_bytes_argument.hpp"
#include "core/project/loaders.hpp"
#include "core/service/build_frame.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: orvalix-cli frame FOLDER FRAME [--bytes NAME=HEX ...]\n"
    "\n"
    "Loads the data folder and prints the bytes that the definition of FRAME (the file\n"
    "FRAME.csv) builds, as the simulator builds them when a step sends it: two-byte\n"
    "checksum fields low byte first, earlier bytes readable as T. One line of lower-case\n"
    "hexadecimal bytes separated by blanks; an empty line for an empty frame.\n"
    "\n"
    "Options:\n"
    "  --bytes NAME=HEX   register a byte buffer under NAME (e.g. the received frame:\n"
    "                     --bytes R=02414203); may be given several times\n"
    "\n"
    "Exit status: 0 built, 1 the frame is not defined, 2 usage error.\n";

constexpr std::array kOptions{OptionSpec{"--bytes", true}};

// Frames that no step names are not loaded with the project; read such a file the same way.
bool findFrame(const std::u16string& folder, const std::u16string& frameName, FrameDefinition& definition) {
    Project project;
    loadProject(folder, project);
    if (const auto found = project.frames.find(frameName); found != project.frames.end()) {
        definition = found->second;
        return true;
    }
    EnvironmentMap naming;
    naming[u""].sequence.push_back(SequenceStep{{u"", u"", frameName}, {}, {}});
    FrameMap frames;
    FrameFileTimes times;
    refreshFrames(folder, naming, frames, times);
    const auto found = frames.find(frameName);
    if (found == frames.end()) {
        return false;
    }
    definition = found->second;
    return true;
}

std::string hexLine(const ByteBuffer& buffer) {
    std::string line;
    std::array<char, 4> digits{};
    for (std::uint32_t i = 0; i < buffer.length; ++i) {
        std::snprintf(digits.data(), digits.size(), i == 0 ? "%02x" : " %02x", buffer.data[i]);
        line += digits.data();
    }
    return line;
}

}  // namespace

int runFrameCommand(std::span<const std::string> arguments, Console console) {
    const CommandStart start = startCommand(arguments,
                                            {.name = "frame",
                                             .help = kHelp,
                                             .options = kOptions,
                                             .minPositional = 2,
                                             .maxPositional = 2,
                                             .positionalError = "FOLDER and FRAME are needed",
                                             .folderFirst = true},
                                            console);
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    const ParsedArguments& parsed = start.parsed;
    const std::u16string& folder = start.folder;
    const ArgumentRead<std::vector<NamedBytesArgument>> buffers =
        parseNamedBytesArguments(parsed.values("--bytes"));
    if (!buffers.value) {
        return usageError(console, "frame", buffers.error);
    }
    const std::u16string frameName = toWide(parsed.positional[1]);
    FrameDefinition definition;
    if (frameName.empty() || !findFrame(folder, frameName, definition)) {
        console.err << "orvalix-cli frame: frame '" << parsed.positional[1] << "' is not defined in '"
                    << parsed.positional[0] << "' (no readable file " << parsed.positional[1] << ".csv)\n";
        return kExitFailure;
    }

    // As at the start of a run: the received frame and the transmit buffer are empty until filled.
    auto received = std::make_unique<ByteBuffer>();
    auto transmit = std::make_unique<ByteBuffer>();
    NamedStore namedStore;
    EvaluationContext context;
    setNamedBytes(context.names, u"R", received->data.data(), received->length);
    setNamedBytes(context.names, kTransmitName, transmit->data.data(), transmit->length);
    registerNamedBytes(*buffers.value, context.names);
    buildFrame(frameName, definition, *transmit, namedStore, context);
    console.out << hexLine(*transmit) << "\n";
    return kExitSuccess;
}

}  // namespace orvalix::cli
