#pragma once
// Turns the readable help sources into the help file pairs that the program
// reads (see HelpFiles.h for the pair's layout and help/README.md for the
// source format). mkhelp is a thin front end on BuildHelpFiles.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace wm {

struct HelpTopicSource {
    int Topic = 0;
    int Line = 0;       // line of its "@@" header in the source
    bool Fixed = false; // lines kept as written (tables)
    std::string Text;   // as stored in the .S10 file: lines separated by CR LF
};

struct HelpSourceFile {
    int FileNumber = 0;
    std::string Name;                    // for messages
    std::vector<HelpTopicSource> Topics; // in ascending topic order
};

struct HelpParseResult {
    HelpSourceFile File;
    std::string Error; // "<name> line <n>: <what is wrong>"; empty when the source is good

    [[nodiscard]] bool Ok() const { return Error.empty(); }
};

// The file number named by a source file "<n>.txt" with n in 1..99, or -1.
[[nodiscard]] int HelpSourceFileNumber(const std::filesystem::path& source);

// Reads one source: every topic in it must belong to fileNumber.
[[nodiscard]] HelpParseResult ParseHelpSource(std::string_view content, int fileNumber,
                                              std::string_view name);

struct HelpPairData {
    std::string Text;  // .S10 contents
    std::string Index; // .R10 contents: one record per record number up to the highest used
};

[[nodiscard]] HelpPairData BuildHelpPair(const std::vector<HelpTopicSource>& topics);

struct HelpFolderResult {
    std::vector<HelpSourceFile> Files; // in ascending file number
    std::string Error;

    [[nodiscard]] bool Ok() const { return Error.empty(); }
};

// Reads every *.txt in folder; stops at the first bad source.
[[nodiscard]] HelpFolderResult ReadHelpSources(const std::filesystem::path& folder);

struct HelpBuildResult {
    std::vector<std::string> Written; // file names written into the output folder
    std::string Error;

    [[nodiscard]] bool Ok() const { return Error.empty(); }
};

// Writes the pair of every source file in sourceFolder into outFolder. Each
// file is written under a temporary name and renamed over the old one. Nothing
// is written when any source is bad.
[[nodiscard]] HelpBuildResult BuildHelpFiles(const std::filesystem::path& sourceFolder,
                                             const std::filesystem::path& outFolder);

} // namespace wm
