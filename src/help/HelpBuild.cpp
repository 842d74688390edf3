#include "help/HelpBuild.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <system_error>

#include "help/HelpFiles.h"
#include "platform/Files.h"

namespace wm {

namespace {

constexpr std::string_view LineBreak = "\r\n";

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Help texts are shown one char per byte as Latin-1; plain printable ASCII
// keeps them the same on every machine and editor.
std::string CheckCharacters(std::string_view line) {
    for (const char c : line) {
        const auto code = static_cast<unsigned char>(c);
        if (code == '\t') return "tab character; use blanks";
        if (code < 32 || code > 126) return "character code " + std::to_string(code) + " is not plain ASCII";
    }
    return {};
}

// Builds one topic's text from its source lines.
class TopicText {
public:
    explicit TopicText(bool fixed) : fixed_(fixed) {}

    void AddBlank() {
        if (!text_.empty()) ++blanks_;
    }

    void AddLine(std::string_view line) {
        line = TrimRight(line);
        if (fixed_) return AddFixed(line);
        line = TrimLeft(line);
        if (line.empty()) return AddBlank();
        if (text_.empty()) {
            text_ = line;
        } else if (blanks_ > 0) {
            text_.append(LineBreak).append(LineBreak).append(line);
        } else if (line.starts_with("- ")) {
            text_.append(LineBreak).append(line);
        } else {
            text_.append(" ").append(line);
        }
        blanks_ = 0;
    }

    [[nodiscard]] const std::string& Text() const { return text_; }

private:
    void AddFixed(std::string_view line) {
        if (line.empty()) return AddBlank();
        if (!text_.empty())
            for (int i = 0; i <= blanks_; ++i) text_.append(LineBreak);
        text_.append(line);
        blanks_ = 0;
    }

    bool fixed_;
    int blanks_ = 0;
    std::string text_;
};

struct Parser {
    int fileNumber;
    std::string_view name;
    HelpParseResult result;
    std::set<int> seen;
    bool inTopic = false;
    HelpTopicSource current;
    TopicText text{false};

    bool Fail(int line, const std::string& what) {
        result.Error = std::string(name) + " line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool CloseTopic() {
        if (!inTopic) return true;
        inTopic = false;
        current.Text = text.Text();
        if (current.Text.empty())
            return Fail(current.Line, "topic " + std::to_string(current.Topic) + " has no text");
        if (current.Text.size() > HelpTextMaxLength)
            return Fail(current.Line, "topic " + std::to_string(current.Topic) + " is longer than " +
                                          std::to_string(HelpTextMaxLength) + " characters");
        result.File.Topics.push_back(current);
        return true;
    }

    bool Header(std::string_view rest, int line) {
        if (!CloseTopic()) return false;
        std::istringstream words{std::string(rest)};
        std::string number;
        std::string option;
        std::string extra;
        words >> number >> option >> extra;
        if (!AllDigits(number) || number.size() > 4)
            return Fail(line, "expected \"@@ <topic number>\", e.g. \"@@ " +
                                  std::to_string(fileNumber * 100 + 1) + "\"");
        if (!(option.empty() || option == "fixed") || !extra.empty())
            return Fail(line, "after the topic number only the word \"fixed\" may follow");
        const int topic = std::stoi(number);
        if (HelpFileNumber(topic) != fileNumber)
            return Fail(line, "topic " + number + " belongs to help file " +
                                  std::to_string(HelpFileNumber(topic)) + ", not to file " +
                                  std::to_string(fileNumber));
        if (HelpRecordNumber(topic) == 0)
            return Fail(line, "topic " + number + " ends in 00; records start at 01");
        if (!seen.insert(topic).second) return Fail(line, "topic " + number + " appears twice");
        inTopic = true;
        current = HelpTopicSource{topic, line, option == "fixed", {}};
        text = TopicText(current.Fixed);
        return true;
    }

    bool Line(std::string_view line, int number) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with("#")) return true;
        if (const std::string bad = CheckCharacters(line); !bad.empty()) return Fail(number, bad);
        if (line.starts_with("@@")) return Header(line.substr(2), number);
        if (!inTopic) {
            if (TrimLeft(line).empty()) return true;
            return Fail(number, "text before the first \"@@ <topic number>\" line");
        }
        text.AddLine(line);
        return true;
    }
};

std::string RecordBytes(std::uint32_t position, std::uint16_t length) {
    std::string r(HelpRecordSize, '\0');
    for (int i = 0; i < 4; ++i)
        r[static_cast<std::size_t>(i)] = static_cast<char>((position >> (8 * i)) & 0xFF);
    r[4] = static_cast<char>(length & 0xFF);
    r[5] = static_cast<char>(length >> 8);
    return r;
}

} // namespace

int HelpSourceFileNumber(const std::filesystem::path& source) {
    const std::string stem = source.stem().string();
    if (source.extension() != ".txt" || !AllDigits(stem) || stem.size() > 2 || stem.front() == '0') return -1;
    return std::stoi(stem);
}

HelpParseResult ParseHelpSource(std::string_view content, int fileNumber, std::string_view name) {
    Parser parser{fileNumber, name, {}, {}, false, {}, TopicText(false)};
    parser.result.File.FileNumber = fileNumber;
    parser.result.File.Name = std::string(name);
    int number = 0;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        if (!parser.Line(content.substr(start, end - start), ++number)) return parser.result;
        start = end + 1;
    }
    if (!parser.CloseTopic()) return parser.result;
    if (parser.result.File.Topics.empty()) parser.Fail(number, "no topics in this file");
    std::sort(parser.result.File.Topics.begin(), parser.result.File.Topics.end(),
              [](const HelpTopicSource& a, const HelpTopicSource& b) { return a.Topic < b.Topic; });
    return parser.result;
}

HelpPairData BuildHelpPair(const std::vector<HelpTopicSource>& topics) {
    HelpPairData pair;
    int lastRecord = 0;
    for (const HelpTopicSource& t : topics) lastRecord = std::max(lastRecord, HelpRecordNumber(t.Topic));
    pair.Index.assign(static_cast<std::size_t>(lastRecord) * HelpRecordSize, '\0');
    for (const HelpTopicSource& t : topics) {
        const auto position = static_cast<std::uint32_t>(pair.Text.size() + 1);
        const auto length = static_cast<std::uint16_t>(t.Text.size());
        pair.Index.replace(static_cast<std::size_t>(HelpRecordNumber(t.Topic) - 1) * HelpRecordSize,
                           HelpRecordSize, RecordBytes(position, length));
        // The line break between texts only makes the file readable in an
        // editor; no record covers it.
        pair.Text.append(t.Text).append(LineBreak);
    }
    return pair;
}

HelpFolderResult ReadHelpSources(const std::filesystem::path& folder) {
    HelpFolderResult result;
    std::error_code error;
    std::vector<std::filesystem::path> sources;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".txt") sources.push_back(entry.path());
    if (error) {
        result.Error = "cannot read the folder " + folder.string();
        return result;
    }
    for (const auto& source : sources) {
        const int fileNumber = HelpSourceFileNumber(source);
        if (fileNumber < 0) {
            result.Error = source.string() + ": a help source is named by its file number 1..99, e.g. 13.txt";
            return result;
        }
        std::ifstream in(source, std::ios::binary);
        if (!in) {
            result.Error = "cannot read " + source.string();
            return result;
        }
        const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        HelpParseResult parsed = ParseHelpSource(content, fileNumber, source.string());
        if (!parsed.Ok()) {
            result.Error = parsed.Error;
            return result;
        }
        result.Files.push_back(std::move(parsed.File));
    }
    if (result.Files.empty()) result.Error = "no help sources (*.txt) in " + folder.string();
    std::sort(result.Files.begin(), result.Files.end(),
              [](const HelpSourceFile& a, const HelpSourceFile& b) { return a.FileNumber < b.FileNumber; });
    return result;
}

HelpBuildResult BuildHelpFiles(const std::filesystem::path& sourceFolder,
                               const std::filesystem::path& outFolder) {
    HelpBuildResult result;
    const HelpFolderResult sources = ReadHelpSources(sourceFolder);
    if (!sources.Ok()) {
        result.Error = sources.Error;
        return result;
    }
    std::error_code error;
    std::filesystem::create_directories(outFolder, error);
    if (error) {
        result.Error = "cannot create the folder " + outFolder.string();
        return result;
    }
    for (const HelpSourceFile& file : sources.Files) {
        const HelpPairData pair = BuildHelpPair(file.Topics);
        const HelpFilePair names = HelpFileNames(file.FileNumber * 100 + 1);
        for (const auto& [fileName, bytes] :
             {std::pair{names.Text, pair.Text}, std::pair{names.Index, pair.Index}}) {
            result.Error = WriteFileReplacing(outFolder / fileName, bytes);
            if (!result.Ok()) return result;
            result.Written.push_back(fileName);
        }
    }
    return result;
}

} // namespace wm
