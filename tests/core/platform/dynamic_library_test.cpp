#include "core/platform/dynamic_library.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "core/platform/module_path.hpp"

namespace orvalix::platform {
namespace {

#ifdef _WIN32
constexpr const char* kSystemLibrary = "kernel32.dll";
constexpr const char* kSystemSymbol = "GetTickCount";
constexpr const char* kOwnExecutable = "orvalix_platform_tests.exe";
#else
constexpr const char* kSystemLibrary = "libc.so.6";
constexpr const char* kSystemSymbol = "strlen";
constexpr const char* kOwnExecutable = "orvalix_platform_tests";
#endif

TEST(DynamicLibrary, AMissingFileLoadsNothing) {
    const DynamicLibrary library(executableFolder() / sharedLibraryFileName("NoSuchLibraryOrvalix"));
    EXPECT_FALSE(library.loaded());
    EXPECT_EQ(library.symbol(kSystemSymbol), nullptr);
    EXPECT_EQ(DynamicLibrary().symbol(kSystemSymbol), nullptr);
}

TEST(DynamicLibrary, FindsExportedSymbolsOfALoadedLibrary) {
    DynamicLibrary library{std::filesystem::path(kSystemLibrary)};
    ASSERT_TRUE(library.loaded());
    EXPECT_NE(library.symbol(kSystemSymbol), nullptr);
    EXPECT_EQ(library.symbol("NoSuchSymbolOrvalix"), nullptr);

    DynamicLibrary moved(std::move(library));
    EXPECT_TRUE(moved.loaded());
    EXPECT_FALSE(library.loaded());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_NE(moved.symbol(kSystemSymbol), nullptr);
}

TEST(SharedLibraryFileName, FollowsThePlatformsNaming) {
    const std::string name = sharedLibraryFileName("FbiHdlc");
#ifdef _WIN32
    EXPECT_EQ(name, "FbiHdlc.dll");
#else
    EXPECT_EQ(name, "libFbiHdlc.so");
#endif
}

TEST(ExecutableFolder, IsTheFolderHoldingTheRunningProgram) {
    const std::filesystem::path folder = executableFolder();
    EXPECT_TRUE(folder.is_absolute());
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / kOwnExecutable));
}

}  // namespace
}  // namespace orvalix::platform
