#include "setup/SetupFiles.h"

#include <system_error>

#include "platform/Files.h"
#include "comm/Tables.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "comm/Hex.h"

namespace wm {

namespace {


std::string CheckImage(const std::string& image) {
    if (image.empty()) return "the first line holds no setup";
    for (std::size_t i = 0; i < image.size(); ++i)
        if (HexDigitValue(image[i]) < 0)
            return "character " + std::to_string(i + 1) + " of the first line is not a hexadecimal digit";
    if (image.size() < 120)
        return "the first line has " + std::to_string(image.size()) + " characters, a setup has at least 120";
    if (image.size() % 2 != 0)
        return "the first line has an odd number of digits (" + std::to_string(image.size()) +
               "), a setup is made of whole bytes";
    return {};
}

} // namespace

SetupFileText ParseSetupFileText(std::string_view bytes) {
    SetupFileText out;
    if (bytes.empty()) {
        out.problem = "the file is empty";
        return out;
    }
    const std::string_view line = bytes.substr(0, bytes.find('\n'));
    if (line.size() > SetupFileLongestLine) {
        out.problem = "the first line is longer than any setup";
        return out;
    }
    out.image = UpperCase(FirstFieldOfLine(line));
    out.problem = CheckImage(out.image);
    if (!out.problem.empty()) out.image.clear();
    return out;
}

SetupFileText ReadSetupFile(const std::filesystem::path& file) {
    // What ParseSetupFileText needs to tell any first line: the whole line
    // with its LF, or one character too many.
    const FileBytes read = ReadFileBounded(file, SetupFileLongestLine + 1);
    if (!read.problem.empty()) return {{}, read.problem};
    return ParseSetupFileText(read.bytes);
}

std::string WithSetupFileExtension(const std::string& chosen) {
    const std::filesystem::path p(chosen);
    if (!p.has_filename() || p.has_extension()) return chosen;
    return chosen + ".WT";
}

} // namespace wm
