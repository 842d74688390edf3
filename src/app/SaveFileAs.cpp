#include "app/SaveFileAs.h"

#include <system_error>

#include "platform/Files.h"
#include "platform/Operator.h"
#include "readings/ReadingsLog.h"

namespace wm {

std::optional<std::string> MatchingExtension(const std::string& name, const std::vector<std::string>& extensions) {
    const auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; };
    for (const std::string& extension : extensions) {
        if (extension.empty() || name.size() < extension.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < extension.size() && same; ++i)
            same = lower(name[name.size() - extension.size() + i]) == lower(extension[i]);
        if (same) return extension;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> ChooseFileToSave(Operator& op, const SaveAsRequest& request) {
    const auto chosen = op.ChooseFile(FileDialog::SaveAs, request.title, request.filter, request.folder, request.name);
    if (!chosen || chosen->empty()) return std::nullopt;
    std::string named = *chosen;
    if (!request.extensions.empty() && !MatchingExtension(named, request.extensions)) named += request.extensions[0];
    std::filesystem::path file(named);
    if (file.is_relative() && !request.folder.empty()) file = request.folder / file;
    std::error_code ec;
    if (named != *chosen && std::filesystem::exists(file, ec) &&
        op.Ask({file.filename().string() + " already exists.\rDo you want to replace it?", request.title,
                Buttons::YesNo, Answer::No, Icon::Exclamation}) != Answer::Yes)
        return std::nullopt;
    return file;
}

bool WriteSavedFile(Operator& op, const std::filesystem::path& file, const std::string& bytes,
                    const std::string& title, const std::string& what) {
    const std::string problem = WriteFileReplacing(file, bytes);
    if (problem.empty()) return true;
    op.Ask({"The " + what + " was not saved: " + problem + ".", title, Buttons::Ok, Answer::Ok, Icon::Exclamation,
            MessageId::FileNotWritten});
    return false;
}

std::optional<std::filesystem::path> SaveReadingsCsv(Operator& op, const ReadingsLog& log,
                                                     const std::filesystem::path& folder, const std::string& baseName) {
    const SaveAsRequest request{"Save Readings As", "CSV files (*.csv)|*.csv", folder, baseName + ".csv", {".csv"}};
    const auto file = ChooseFileToSave(op, request);
    if (!file || !WriteSavedFile(op, *file, log.Csv(), request.title, "readings file")) return std::nullopt;
    return file;
}

std::optional<std::filesystem::path> SaveTrafficText(Operator& op, const std::string& text,
                                                     const std::filesystem::path& folder) {
    const SaveAsRequest request{"Save Traffic As", "Text files (*.txt)|*.txt", folder, "Traffic.txt", {".txt"}};
    const auto file = ChooseFileToSave(op, request);
    if (!file || !WriteSavedFile(op, *file, text, request.title, "traffic file")) return std::nullopt;
    return file;
}

} // namespace wm
