#pragma once
// Saving a file the operator names in a Save As dialog: the calibration
// record, the plot's and the graph's pictures, the readings as CSV. One
// routine asks for the name and makes sure it ends in one of the file's
// extensions; one writes the bytes whole or not at all and tells the
// operator when that failed.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wm {

class Operator;
class ReadingsLog;

struct SaveAsRequest {
    std::string title;  // the dialog's title, and the title of the boxes that follow
    std::string filter; // the dialog's filter, "Description (*.X)|*.X" pairs
    std::filesystem::path folder;
    std::string name;   // offered in the dialog; may be empty
    // The endings the file may have (".BMP", ".PNG"), matched in any case;
    // the first is added to a name that ends in none of them.
    std::vector<std::string> extensions;
};

// The extension of `extensions` that name ends with (in any case), or
// nullopt.
[[nodiscard]] std::optional<std::string> MatchingExtension(const std::string& name,
                                                           const std::vector<std::string>& extensions);

// The Save As dialog. A name without one of the extensions gets the first
// (asking before that replaces a file, since the dialog asked about the
// name as typed); a relative name lies in the request's folder. Nothing
// when the operator cancels or declines.
[[nodiscard]] std::optional<std::filesystem::path> ChooseFileToSave(Operator& op, const SaveAsRequest& request);

// Writes the file whole or not at all. On failure tells the operator "The
// <what> was not saved: <problem>." (MessageId::FileNotWritten) under
// `title` and returns false.
bool WriteSavedFile(Operator& op, const std::filesystem::path& file, const std::string& bytes,
                    const std::string& title, const std::string& what);

// The readings a window showed, as ReadingsLog::Csv() writes them: the Save
// As dialog offers "<baseName>.csv" under the title "Save Readings As".
// Returns the file written, or nothing when cancelled or failed (the
// operator has been told).
std::optional<std::filesystem::path> SaveReadingsCsv(Operator& op, const ReadingsLog& log,
                                                     const std::filesystem::path& folder, const std::string& baseName);

// The Traffic window's lines, as TrafficHistory::Text() writes them: the
// Save As dialog offers "Traffic.txt" under the title "Save Traffic As".
// Returns the file written, or nothing when cancelled or failed (the
// operator has been told).
std::optional<std::filesystem::path> SaveTrafficText(Operator& op, const std::string& text,
                                                     const std::filesystem::path& folder);

} // namespace wm
