#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ratio>
#include <string>
#include <utility>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/platform/file_time.hpp"
#include "core/project/loaders.hpp"
#include "temp_folder.hpp"

namespace orvalix {
namespace {

using test::TempFolder;
// FILETIME units of 100 ns.
using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;

constexpr int kNoneRead = -1;

EnvironmentMap environmentsNaming(const std::vector<std::vector<std::u16string>>& framesPerEnvironment) {
    EnvironmentMap environments;
    char16_t letter = u'A';
    for (const std::vector<std::u16string>& frames : framesPerEnvironment) {
        Environment& environment = environments[std::u16string(1, letter++) + u"1"];
        for (const std::u16string& frame : frames) {
            SequenceStep step;
            step.cells = {u"label", u"1", frame};
            environment.sequence.push_back(step);
        }
    }
    return environments;
}

// A frame file with its two header rows and the given number of data rows.
std::string frameFile(int dataRows) {
    std::string text = "Offset,Value\nbyte,expression\n";
    for (int i = 0; i < dataRows; ++i) {
        text += std::to_string(i) + "," + std::to_string(i + 1) + "\n";
    }
    return text;
}

// Holds the frame maps between refreshes, as the project does.
struct FrameState {
    FrameMap frames;
    FrameFileTimes times;
    int refresh(const TempFolder& folder, const EnvironmentMap& environments) {
        return refreshFrames(folder.wide(), environments, frames, times);
    }
};

// Sets a file's last-write time in FILETIME ticks from a whole second near its first time.
class FileTimeControl {
public:
    explicit FileTimeControl(std::filesystem::path path)
        : path_(std::move(path)),
          base_(std::chrono::floor<std::chrono::seconds>(std::filesystem::last_write_time(path_))) {}
    void setTicksFromBase(std::int64_t ticks) const {
        std::filesystem::last_write_time(
            path_, base_ + std::chrono::duration_cast<std::filesystem::file_time_type::duration>(Ticks(ticks)));
    }

private:
    std::filesystem::path path_;
    std::filesystem::file_time_type base_;
};

TEST(FrameFile, HeaderOnlyFileGivesFrameOfNoElements) {
    TempFolder folder;
    folder.write(u"F.csv", frameFile(0));
    FrameState state;
    EXPECT_GE(state.refresh(folder, environmentsNaming({{u"F"}})), 0);
    ASSERT_EQ(state.frames.count(u"F"), 1u);
    EXPECT_TRUE(state.frames.at(u"F").empty());
}

TEST(FrameFile, EveryRowAfterTheHeadersIsOneElement) {
    TempFolder folder;
    folder.write(u"F.csv",
                 "Offset,Value\n"
                 "byte,expression\n"
                 "0,1\n"
                 "1,2\n"
                 "2,\"CRC_CCITT1(T,0,2)\"\n"
                 "3,\n"
                 ";4,0x10\n"
                 "5\n"
                 "6,1+\n"
                 "\n");
    FrameState state;
    state.refresh(folder, environmentsNaming({{u"F"}}));
    ASSERT_EQ(state.frames.count(u"F"), 1u);
    const FrameDefinition& frame = state.frames.at(u"F");
    ASSERT_EQ(frame.size(), 8u);
    CompiledExpression expected;
    ASSERT_EQ(compileExpression("1", expected), 0);
    EXPECT_EQ(frame[0], expected);
    EXPECT_FALSE(frame[1].empty());
    ASSERT_FALSE(frame[2].empty());
    EXPECT_EQ(frame[2].reductions.back().rule, static_cast<std::int32_t>(GrammarRuleId::CrcCcitt1));
    EXPECT_TRUE(frame[3].empty());   // placeholder for the CRC's high byte
    EXPECT_FALSE(frame[4].empty());  // no comment rows in frame files
    EXPECT_TRUE(frame[5].empty());   // no column 1
    EXPECT_TRUE(frame[6].empty());   // does not compile
    EXPECT_TRUE(frame[7].empty());   // the empty last line
}

TEST(RefreshFrames, CollectsEachNamedFrameOnce) {
    TempFolder folder;
    folder.write(u"Shared.csv", frameFile(2));
    folder.write(u"Own.csv", frameFile(1));
    folder.write(u".csv", frameFile(3));
    folder.write(u"Unused.csv", frameFile(1));
    EnvironmentMap environments = environmentsNaming({{u"Shared", u"Own", u"Shared"}, {u"Shared"}});
    SequenceStep twoCells;
    twoCells.cells = {u"label", u"1"};
    environments.begin()->second.sequence.push_back(twoCells);

    FrameState state;
    EXPECT_EQ(state.refresh(folder, environments), 3);
    EXPECT_EQ(state.frames.size(), 3u);
    EXPECT_EQ(state.frames.at(u"Shared").size(), 2u);
    EXPECT_EQ(state.frames.at(u"Own").size(), 1u);
    EXPECT_EQ(state.frames.at(u"").size(), 3u);  // a step without a frame names ".csv"
    EXPECT_EQ(state.times.size(), 3u);
}

TEST(RefreshFrames, NamesWithSeparatorsNameNoFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file(u"data"));
    std::filesystem::create_directory(folder.file(u"data/sub"));
    folder.write(u"outside.csv", frameFile(1));
    folder.write(u"data/sub/inner.csv", frameFile(1));
    folder.write(u"data/..csv", frameFile(2));
    const std::u16string dataFolder = (folder.path() / "data").u16string();
    const EnvironmentMap environments =
        environmentsNaming({{u"../outside", u"..\\outside", u"sub/inner", u"sub\\inner", u"."}});

    FrameMap frames;
    FrameFileTimes times;
    refreshFrames(dataFolder, environments, frames, times);
    // "." is a plain name: its file "..csv" lies inside the folder.
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames.at(u".").size(), 2u);
    EXPECT_EQ(times.size(), 1u);
}

TEST(RefreshFrames, ReReadsOnlyWhenTimeMovesMoreThanTwoMilliseconds) {
    TempFolder folder;
    const EnvironmentMap environments = environmentsNaming({{u"F"}});
    const std::filesystem::path path = folder.write(u"F.csv", frameFile(1));
    const FileTimeControl time(path);
    time.setTicksFromBase(0);
    const std::optional<std::uint64_t> base = platform::fileLastWriteTime(path);
    ASSERT_TRUE(base.has_value());
    time.setTicksFromBase(10);
    if (platform::fileLastWriteTime(path) != *base + 10) {
        GTEST_SKIP() << "file times here are coarser than a microsecond";
    }
    time.setTicksFromBase(0);
    FrameState state;
    ASSERT_GE(state.refresh(folder, environments), 0);
    EXPECT_EQ(state.refresh(folder, environments), kNoneRead);

    // The content changes each time, so the element count tells whether the file was read.
    struct Step {
        std::int64_t ticksFromBase;
        bool reRead;
    };
    const Step steps[] = {
        {20000, false},      // exactly 2 ms
        {40000, false},      // 2 ms from the time recorded last
        {40010, false},
        {60020, true},       // 2 ms and 1 us
        {10'060'020, true},  // a second later
        {0, true},           // backwards by more than 2 ms
        {-19'990, false},
    };
    int rows = 1;
    for (const Step& step : steps) {
        ++rows;
        folder.write(u"F.csv", frameFile(rows));
        time.setTicksFromBase(step.ticksFromBase);
        const std::size_t before = state.frames.at(u"F").size();
        const int result = state.refresh(folder, environments);
        if (step.reRead) {
            EXPECT_GE(result, 0) << step.ticksFromBase;
            EXPECT_EQ(state.frames.at(u"F").size(), static_cast<std::size_t>(rows)) << step.ticksFromBase;
        } else {
            EXPECT_EQ(result, kNoneRead) << step.ticksFromBase;
            EXPECT_EQ(state.frames.at(u"F").size(), before) << step.ticksFromBase;
        }
        // The time seen is recorded whether or not the file was read.
        EXPECT_EQ(state.times.at(u"F"), *base + static_cast<std::uint64_t>(step.ticksFromBase))
            << step.ticksFromBase;
    }
}

TEST(RefreshFrames, DeletedFrameStaysAwayUntilItsTimeChanges) {
    TempFolder folder;
    const EnvironmentMap environments = environmentsNaming({{u"F", u"G"}});
    folder.write(u"G.csv", frameFile(1));
    const std::filesystem::path path = folder.write(u"F.csv", frameFile(2));
    const FileTimeControl time(path);
    time.setTicksFromBase(0);
    FrameState state;
    ASSERT_EQ(state.refresh(folder, environments), 2);
    const std::uint64_t recorded = state.times.at(u"F");

    std::filesystem::remove(path);
    EXPECT_EQ(state.refresh(folder, environments), 0);
    EXPECT_EQ(state.frames.count(u"F"), 0u);
    EXPECT_EQ(state.frames.count(u"G"), 1u);
    EXPECT_EQ(state.times.at(u"F"), recorded);
    // A missing file is tried again on every call.
    EXPECT_EQ(state.refresh(folder, environments), 0);

    folder.write(u"F.csv", frameFile(2));
    time.setTicksFromBase(0);
    EXPECT_EQ(state.refresh(folder, environments), kNoneRead);
    EXPECT_EQ(state.frames.count(u"F"), 0u);

    time.setTicksFromBase(10'000'000);
    EXPECT_EQ(state.refresh(folder, environments), 1);
    ASSERT_EQ(state.frames.count(u"F"), 1u);
    EXPECT_EQ(state.frames.at(u"F").size(), 2u);
}

TEST(RefreshFrames, LeavesFramesNoStepNames) {
    TempFolder folder;
    FrameState state;
    state.frames[u"Old"] = FrameDefinition(3);
    state.times[u"Old"] = 5;
    EXPECT_EQ(state.refresh(folder, environmentsNaming({})), kNoneRead);
    EXPECT_EQ(state.frames.at(u"Old").size(), 3u);
    EXPECT_EQ(state.times.at(u"Old"), 5u);
}

}  // namespace
}  // namespace orvalix
