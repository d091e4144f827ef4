// Feeds a whole data folder to loadProject and to orvalix-cli's check. The input is cut at
// 0x1E into E1.Environments.csv, E1.Sequences.csv, E1.Named.csv and up to five frame files,
// each of these "NAME\nBYTES" for the file NAME.csv; a piece that is not there leaves its file
// out. The files go into a folder of this process under $TMPDIR, emptied after every run.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/project_check.hpp"
#include "core/project/loaders.hpp"
#include "fuzz_input.hpp"

namespace {

namespace fs = std::filesystem;
using orvalix::fuzz::require;

constexpr std::string_view kFixedFiles[] = {"E1.Environments.csv", "E1.Sequences.csv", "E1.Named.csv"};
constexpr std::size_t kMaxFrameFiles = 5;
constexpr std::size_t kMaxNameLength = 100;

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "orvalix-fuzz-XXXXXX").string();
        require(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& path() const { return path_; }

    void empty() const {
        for (const fs::directory_entry& entry : fs::directory_iterator(path_)) {
            fs::remove_all(entry.path());
        }
    }

private:
    fs::path path_;
};

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Any bytes but those that would leave the folder or end the name early.
std::string frameFileName(std::string_view name) {
    std::string fileName;
    for (const char c : name.substr(0, kMaxNameLength)) {
        if (c != '/' && c != '\0' && c != '\r') {
            fileName.push_back(c);
        }
    }
    return fileName + ".csv";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    const std::vector<std::string_view> pieces =
        orvalix::fuzz::splitPieces(orvalix::fuzz::asText({data, size}), std::size(kFixedFiles) + kMaxFrameFiles);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i < std::size(kFixedFiles)) {
            writeFile(scratch.path() / kFixedFiles[i], pieces[i]);
            continue;
        }
        const std::size_t lineEnd = pieces[i].find('\n');
        const std::string_view name = pieces[i].substr(0, lineEnd);
        const std::string_view bytes = lineEnd == std::string_view::npos ? std::string_view{} : pieces[i].substr(lineEnd + 1);
        writeFile(scratch.path() / frameFileName(name), bytes);
    }

    const std::u16string folder = scratch.path().u16string();
    orvalix::Project project;
    orvalix::loadProject(folder, project);
    require(project.dataFolder == folder, "the project keeps its folder");
    for (const auto& [frameName, definition] : project.frames) {
        require(project.frameFileTimes.count(frameName) == 1, "a loaded frame has its file time");
    }
    orvalix::refreshFrames(folder, *project.environments, project.frames, project.frameFileTimes);

    const orvalix::cli::CheckReport report = orvalix::cli::checkDataFolder(folder);
    require(report.summary.environments == project.environments->size(), "check counts the loaded environments");
    for (const orvalix::cli::Finding& finding : report.findings) {
        (void)orvalix::cli::formatFinding(finding);
    }
    scratch.empty();
    return 0;
}
