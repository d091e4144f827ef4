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
using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;  // FILETIME units
constexpr int kNoneRead = -1;

// One environment whose steps name the given frames.
EnvironmentMap naming(const std::vector<std::u16string>& frames) {
    EnvironmentMap environments;
    for (const std::u16string& frame : frames) {
        environments[u"P1"].sequence.push_back(SequenceStep{{u"label", u"1", frame}, {}, {}});
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

// Sets a file's last-write time in FILETIME ticks from a whole second near its first time.
struct FileTime {
    std::filesystem::path path;
    std::filesystem::file_time_type base =
        std::chrono::floor<std::chrono::seconds>(std::filesystem::last_write_time(path));
    void set(std::int64_t ticks) const {
        std::filesystem::last_write_time(
            path, base + std::chrono::duration_cast<std::filesystem::file_time_type::duration>(Ticks(ticks)));
    }
};

CompiledExpression compiled(std::string_view text) {
    std::optional<CompiledExpression> expression = compileExpression(text).program;
    EXPECT_TRUE(expression) << text;
    return std::move(expression).value_or(CompiledExpression{});
}

TEST(RefreshFrames, ReadsTheFramesTheStepsNameWithOneElementPerRowAfterTheHeaders) {
    const TempFolder folder;
    std::filesystem::create_directories(folder.file(u"data/sub"));
    folder.write(u"data/F.csv",
                 "Offset,Value\nbyte,expression\n0,1\n1,\"CRC_CCITT1(T,0,2)\"\n2,\n;3,0x10\n4\n5,1+\n\n");
    folder.write(u"data/Empty.csv", frameFile(0));
    folder.write(u"data/.csv", frameFile(3));
    folder.write(u"data/..csv", frameFile(2));
    folder.write(u"data/Unused.csv", frameFile(1));
    folder.write(u"data/sub/inner.csv", frameFile(1));
    folder.write(u"outside.csv", frameFile(1));
    // Frame names are cell texts, not paths: a name with a separator names no file, "." names "..csv".
    EnvironmentMap environments =
        naming({u"F", u"Empty", u"F", u".", u"../outside", u"..\\outside", u"sub/inner", u"sub\\inner"});
    environments[u"P1"].sequence.push_back(SequenceStep{{u"label", u"1"}, {}, {}});  // names ".csv"
    FrameMap frames{{u"Old", FrameDefinition(3)}};  // a frame no step names stays
    FrameFileTimes times{{u"Old", 5}};
    EXPECT_EQ(refreshFrames((folder.path() / "data").u16string(), environments, frames, times), 4);  // read
    // No comment rows in frame files; a missing, empty or failing cell is an empty element.
    const FrameDefinition f{compiled("1"), compiled("CRC_CCITT1(T,0,2)"), {}, compiled("0x10"), {}, {}, {}};
    EXPECT_EQ(frames, (FrameMap{{u"F", f},
                                {u"Empty", {}},
                                {u"", {compiled("1"), compiled("2"), compiled("3")}},
                                {u".", {compiled("1"), compiled("2")}},
                                {u"Old", FrameDefinition(3)}}));
    EXPECT_EQ(times.size(), 5u);
    EXPECT_EQ(times.at(u"Old"), 5u);
}

TEST(RefreshFrames, ReReadsOnlyWhenTheTimeMovesMoreThanTwoMilliseconds) {
    const TempFolder folder;
    const EnvironmentMap environments = naming({u"F"});
    const FileTime time{folder.write(u"F.csv", frameFile(1))};
    time.set(0);
    const std::optional<std::uint64_t> base = platform::fileLastWriteTime(time.path);
    time.set(10);
    if (!base || platform::fileLastWriteTime(time.path) != *base + 10) {
        GTEST_SKIP() << "file times here are coarser than a microsecond";
    }
    // Exactly 2 ms, then 2 ms from the time recorded last, are no move; 2 ms and 1 us is, and
    // so is a move backwards by more than 2 ms.
    const std::pair<std::int64_t, bool> steps[] = {{0, true},          {0, false},     {20000, false},
                                                   {40000, false},     {40010, false}, {60020, true},
                                                   {10'060'020, true}, {0, true},      {-19'990, false}};
    FrameMap frames;
    FrameFileTimes times;
    const auto refresh = [&] { return refreshFrames(folder.wide(), environments, frames, times); };
    std::size_t elements = 0;
    int rows = 0;
    for (const auto& [ticks, reRead] : steps) {
        SCOPED_TRACE(ticks);
        // The content changes each time, so the element count tells whether the file was read.
        folder.write(u"F.csv", frameFile(++rows));
        time.set(ticks);
        EXPECT_EQ(refresh(), reRead ? 1 : kNoneRead);
        elements = reRead ? static_cast<std::size_t>(rows) : elements;
        EXPECT_EQ(frames.at(u"F").size(), elements);
        // The time seen is recorded whether or not the file was read.
        EXPECT_EQ(times.at(u"F"), *base + static_cast<std::uint64_t>(ticks));
    }
}

TEST(RefreshFrames, DeletedFrameIsReadAgainWhenItComesBackEvenWithItsOldTime) {
    const TempFolder folder;
    const EnvironmentMap environments = naming({u"F"});
    const FileTime time{folder.write(u"F.csv", frameFile(2))};
    time.set(0);
    FrameMap frames;
    FrameFileTimes times;
    const auto refresh = [&] { return refreshFrames(folder.wide(), environments, frames, times); };
    ASSERT_EQ(refresh(), 1);

    std::filesystem::remove(time.path);
    EXPECT_EQ(refresh(), 0);
    EXPECT_EQ(refresh(), 0);  // a missing file is tried on every call
    EXPECT_EQ(frames.count(u"F"), 0u);

    // Restored from a backup, with the time it had before it went.
    folder.write(u"F.csv", frameFile(3));
    time.set(0);
    EXPECT_EQ(refresh(), 1);
    EXPECT_EQ(frames.at(u"F").size(), 3u);
    EXPECT_EQ(refresh(), kNoneRead);
}

}  // namespace
}  // namespace orvalix
