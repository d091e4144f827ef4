#include "core/session/run_notices.hpp"

#include "core/text/text_conversion.hpp"

namespace orvalix {
namespace {

std::string triggerPrefix(std::u16string_view environment, std::u16string_view condition) {
    return toNarrow(environment) + " trigger " + toNarrow(condition) + ": ";
}

}  // namespace

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string startedLogNotice(std::u16string_view environment, const StartedLog& log) {
    std::string text = triggerPrefix(environment, log.condition);
    if (!log.path.empty()) {
        return text + "log file " + pathText(log.path);
    }
    text += "no log file (it cannot be made";
    if (log.error) {
        text += ": " + log.error.message();
    }
    return text + ")";
}

std::string stoppedLogNotice(std::u16string_view environment, const StoppedLog& log) {
    return triggerPrefix(environment, log.condition) + "log file " + pathText(log.path) + " stopped after " +
           std::to_string(log.records) + (log.records == 1 ? " record: " : " records: ") + log.error.message();
}

std::string refusedRecordingsNotice(std::u16string_view environment, std::size_t refused) {
    return toNarrow(environment) + " trigger: " + std::to_string(refused) +
           (refused == 1 ? " recording" : " recordings") + " refused: one record starts at most " +
           std::to_string(kMaxLogFilesPerRecord) + " log files";
}

std::string noUsableEnvironmentMessage(const Project& project, Language language) {
    const std::string folder = pathText(std::filesystem::path(project.dataFolder));
    std::string text = language == Language::Japanese
                           ? "使用できる環境がありません (" + folder + ")"
                           : "No usable environment in " + folder + ": no port can be opened";
    if (project.environments->empty()) {
        return text + (language == Language::Japanese ? ": .Environments.csv で終わるファイルがありません"
                                                      : " (no file ending in .Environments.csv)");
    }
    for (const auto& [name, environment] : *project.environments) {
        const std::string port = toNarrow(environment.port.name);
        std::string why;
        if (port.empty()) {
            why = language == Language::Japanese ? "ポート名がありません" : "no port name on the second row";
        } else if (language == Language::Japanese) {
            why = "ポート \"" + port + "\" はシリアルポート、HDLC チャネル、UDP エンドポイント、TCP アドレスのいずれでもありません";
        } else {
            why = "port \"" + port + "\" names no serial port, HDLC channel, UDP endpoint or TCP address";
        }
        text += "\n  " + toNarrow(name) + ": " + why;
    }
    return text;
}

std::string connectionOpenedNotice(std::u16string_view environment, std::string_view peer,
                                   Language language) {
    const std::string name = toNarrow(environment);
    if (language == Language::Japanese) {
        return peer.empty() ? name + " 接続しました" : name + " " + std::string(peer) + " と接続しました";
    }
    return peer.empty() ? name + " connected" : name + " connected " + std::string(peer);
}

std::string connectionClosedNotice(std::u16string_view environment, std::string_view peer,
                                   Language language) {
    const std::string name = toNarrow(environment);
    if (language == Language::Japanese) {
        return peer.empty() ? name + " 接続が切れました" : name + " " + std::string(peer) + " との接続が切れました";
    }
    return peer.empty() ? name + " disconnected" : name + " disconnected " + std::string(peer);
}

std::string connectFailedNotice(std::u16string_view environment, std::u16string_view port,
                                std::string_view reason, Language language) {
    if (language == Language::Japanese) {
        return toNarrow(environment) + " " + toNarrow(port) + " で接続できません: " + std::string(reason);
    }
    return toNarrow(environment) + " no connection on " + toNarrow(port) + ": " + std::string(reason);
}

std::string sendsDroppedNotice(std::u16string_view environment, std::uint64_t added, std::uint64_t total,
                               Language language) {
    if (language == Language::Japanese) {
        return toNarrow(environment) + " 接続がないため、フレームを " + std::to_string(added) +
               " 個送信しませんでした (計 " + std::to_string(total) + " 個)";
    }
    return toNarrow(environment) + " " + std::to_string(added) + (added == 1 ? " frame" : " frames") +
           " not sent (" + std::to_string(total) + " in all): no connection";
}

std::string recordsLostNotice(std::u16string_view environment, std::uint64_t added, std::uint64_t total,
                              Language language) {
    if (language == Language::Japanese) {
        return toNarrow(environment) + " 取り込む前に上書きされたレコードが " + std::to_string(added) +
               " 個あります (計 " + std::to_string(total) + " 個)";
    }
    return toNarrow(environment) + " " + std::to_string(added) + (added == 1 ? " record was" : " records were") +
           " lost before the pump took them (" + std::to_string(total) + " in all)";
}

}  // namespace orvalix
