#include "app/CsvFile.h"

#include <system_error>

#include "platform/Files.h"
#include "platform/Operator.h"
#include "readings/ReadingsLog.h"

namespace wm {

namespace {

bool EndsWithCsv(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'c' && (tail[2] | 0x20) == 's' && (tail[3] | 0x20) == 'v';
}

} // namespace

std::string WithCsvExtension(std::string name) {
    if (!EndsWithCsv(name)) name += ".csv";
    return name;
}

std::optional<std::filesystem::path> SaveCsvAs(Operator& op, const std::string& csv,
                                               const std::filesystem::path& folder, const CsvSaveAs& how) {
    const auto chosen = op.ChooseFile(FileDialog::SaveAs, how.title, "CSV files (*.csv)|*.csv", folder, how.name);
    if (!chosen || chosen->empty()) return std::nullopt;
    const std::string named = WithCsvExtension(*chosen);
    std::filesystem::path file(named);
    if (file.is_relative() && !folder.empty()) file = folder / file;
    std::error_code ec;
    if (named != *chosen && std::filesystem::exists(file, ec) &&
        op.Ask({file.filename().string() + " already exists.\rDo you want to replace it?", how.title,
                Buttons::YesNo, Answer::No, Icon::Exclamation}) != Answer::Yes)
        return std::nullopt;
    const std::string problem = WriteFileReplacing(file, csv);
    if (!problem.empty()) {
        op.Ask({how.notSaved + ": " + problem + ".", how.title, Buttons::Ok, Answer::Ok, Icon::Exclamation,
                MessageId::FileNotWritten});
        return std::nullopt;
    }
    return file;
}

std::optional<std::filesystem::path> SaveReadingsCsv(Operator& op, const ReadingsLog& log,
                                                     const std::filesystem::path& folder) {
    return SaveCsvAs(op, log.Csv(), folder, {"Save Readings", "Readings.csv", "The readings were not saved"});
}

} // namespace wm
