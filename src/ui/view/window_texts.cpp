#include "ui/view/window_texts.hpp"

#include "ui/view/number_text.hpp"

namespace orvalix::ui {

std::u16string mainWindowTitle(std::u16string_view productName, std::u16string_view dataFolder,
                               bool folderExists) {
    std::u16string title(productName);
    if (folderExists) {
        title.append(u" - [ ").append(dataFolder).append(u" ]");
    }
    return title;
}

std::u16string aboutVersionLine(std::u16string_view productName, std::uint32_t fileVersionHigh) {
    const std::uint32_t major = fileVersionHigh >> 16;
    const std::uint32_t minor = fileVersionHigh & 0xFFFFu;
    std::u16string line(productName);
    line.append(u" - Version ")
        .append(detail::decimalText(major))
        .append(u".")
        .append(detail::decimalText(minor));
    return line;
}

std::u16string versionStringKey(std::uint16_t language, std::uint16_t codePage, std::u16string_view name) {
    std::u16string key(u"\\StringFileInfo\\");
    key.append(detail::hexText(language, 4)).append(detail::hexText(codePage, 4)).append(u"\\").append(name);
    return key;
}

}  // namespace orvalix::ui
