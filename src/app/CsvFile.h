#pragma once
// Saving a CSV text through the operator's Save As dialog: the calibration
// record and the readings the readings windows showed are saved this way.
#include <filesystem>
#include <optional>
#include <string>

namespace wm {

class Operator;
class ReadingsLog;

// name with ".csv" added unless it already ends in ".csv" (any case).
[[nodiscard]] std::string WithCsvExtension(std::string name);

struct CsvSaveAs {
    std::string title;    // the dialog's title, also the title of its messages
    std::string name;     // the name offered
    std::string notSaved; // what a failure says, before the problem: "The readings were not saved"
};

// The dialog starts in `folder` with the offered name; a name without ".csv"
// gets it (asking before that replaces a file, since the dialog asked about
// the name as typed), a relative name lies in `folder`. The file is written
// whole or not at all; a failure is told to the operator
// (MessageId::FileNotWritten). Returns the file written, or nothing when
// cancelled or failed.
std::optional<std::filesystem::path> SaveCsvAs(Operator& op, const std::string& csv,
                                               const std::filesystem::path& folder, const CsvSaveAs& how);

// The readings a window showed, as ReadingsLog::Csv() writes them, offered
// as "Readings.csv" under the title "Save Readings".
std::optional<std::filesystem::path> SaveReadingsCsv(Operator& op, const ReadingsLog& log,
                                                     const std::filesystem::path& folder);

} // namespace wm
