#include "ui/view/status_texts.hpp"

#include "ui/view/number_text.hpp"

namespace orvalix::ui {

std::u16string portLostStatus(Language language, std::u16string_view environment, std::u16string_view port,
                              std::u16string_view reason) {
    std::u16string text(environment);
    if (language == Language::Japanese) {
        text.append(u": ポート ").append(port).append(u" が失われました: ");
    } else {
        text.append(u": port ").append(port).append(u" lost: ");
    }
    return text.append(reason);
}

std::u16string datagramsDroppedStatus(Language language, std::u16string_view environment, std::uint64_t added,
                                      std::uint64_t total) {
    const std::u16string addedText = detail::decimalText(static_cast<std::int64_t>(added));
    const std::u16string totalText = detail::decimalText(static_cast<std::int64_t>(total));
    std::u16string text(environment);
    if (language == Language::Japanese) {
        return text.append(u": 受信バッファが一杯のため、システムがデータグラムを ")
            .append(addedText)
            .append(u" 個破棄しました (計 ")
            .append(totalText)
            .append(u" 個)");
    }
    return text.append(u": the system dropped ")
        .append(addedText)
        .append(added == 1 ? u" datagram (" : u" datagrams (")
        .append(totalText)
        .append(u" in all): the receive buffer was full");
}

std::u16string captureStoppedStatus(Language language, std::u16string_view file, std::u16string_view reason) {
    std::u16string text(language == Language::Japanese ? u"キャプチャを停止しました: "
                                                       : u"capture stopped: ");
    return text.append(file).append(u": ").append(reason);
}

}  // namespace orvalix::ui
