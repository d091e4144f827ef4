#include "core/platform/command_line.hpp"

#include "core/platform/win32/windows_headers.hpp"

#include <shellapi.h>

#include <memory>
#include <string_view>

#include "core/text/text_conversion.hpp"

namespace orvalix::platform {
namespace {

struct LocalFreeDeleter {
    void operator()(LPWSTR* block) const { LocalFree(block); }
};

}  // namespace

std::vector<std::string> commandLineArguments(int, char**) {
    int count = 0;
    std::unique_ptr<LPWSTR, LocalFreeDeleter> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> result;
    if (!arguments) {
        return result;
    }
    for (int i = 1; i < count; ++i) {
        const auto* wide = reinterpret_cast<const char16_t*>(arguments.get()[i]);
        result.push_back(toNarrow(std::u16string_view(wide)));
    }
    return result;
}

void useUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace orvalix::platform
