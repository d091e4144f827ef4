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

std::string noUsableEnvironmentMessage(const Project& project, bool japanese) {
    const std::string folder = pathText(std::filesystem::path(project.dataFolder));
    std::string text = japanese ? "使用できる環境がありません (" + folder + ")"
                                : "No usable environment in " + folder + ": no port can be opened";
    if (project.environments->empty()) {
        return text + (japanese ? ": .Environments.csv で終わるファイルがありません" : " (no file ending in .Environments.csv)");
    }
    for (const auto& [name, environment] : *project.environments) {
        const std::string port = toNarrow(environment.port.name);
        std::string why;
        if (port.empty()) {
            why = japanese ? "ポート名がありません" : "no port name on the second row";
        } else if (japanese) {
            why = "ポート \"" + port + "\" はシリアルポート、HDLC チャネル、UDP エンドポイントのいずれでもありません";
        } else {
            why = "port \"" + port + "\" names no serial port, HDLC channel or UDP endpoint";
        }
        text += "\n  " + toNarrow(name) + ": " + why;
    }
    return text;
}

}  // namespace orvalix
