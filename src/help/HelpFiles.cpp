#include "help/HelpFiles.h"

#include <array>
#include <system_error>

namespace wm {

namespace {

constexpr std::string_view NoticeTitle = "Help not available$ ";

std::string TopicTag(int topic) { return " (topic " + std::to_string(topic) + ")."; }

// Size of an open stream in bytes; -1 when it cannot be told.
std::streamoff StreamSize(std::ifstream& file) {
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    return size;
}

// Why a help file cannot be opened for reading, or an empty string. A folder,
// a device or a fifo in a help file's place is never opened: opening a fifo
// waits for a writer that may never come.
std::string Unusable(const std::filesystem::path& file, const std::string& name) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(file, ec);
    if (ec || st.type() == std::filesystem::file_type::not_found)
        return "The help file " + name + " was not found beside the program";
    if (st.type() == std::filesystem::file_type::directory)
        return "The help file " + name + " beside the program is a folder, not a file";
    if (st.type() != std::filesystem::file_type::regular)
        return "The help file " + name + " beside the program is not a regular file";
    return {};
}

std::uint32_t Little32(const std::array<unsigned char, HelpRecordSize>& r) {
    return static_cast<std::uint32_t>(r[0]) | static_cast<std::uint32_t>(r[1]) << 8 |
           static_cast<std::uint32_t>(r[2]) << 16 | static_cast<std::uint32_t>(r[3]) << 24;
}

std::uint16_t Little16(const std::array<unsigned char, HelpRecordSize>& r) {
    return static_cast<std::uint16_t>(r[4] | r[5] << 8);
}

} // namespace

std::string HelpFileTag(int fileNumber) {
    const std::string written = " " + std::to_string(fileNumber);
    return written.substr(written.size() - 2);
}

HelpFilePair HelpFileNames(int topic) {
    const std::string base = "Help" + HelpFileTag(HelpFileNumber(topic));
    return {base + ".S10", base + ".R10"};
}

bool HasHelpFiles(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return false;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) return false;
        const std::string name = it->path().filename().string();
        // "Help" + two characters + ".S10": ten characters.
        if (name.size() != 10 || name.compare(0, 4, "Help") != 0 || name.compare(6, 4, ".S10") != 0) continue;
        const std::string index = name.substr(0, 6) + ".R10";
        if (fs::is_regular_file(it->path(), ec) && fs::is_regular_file(folder / index, ec)) return true;
    }
    return false;
}

HelpTopicText HelpSession::Fail(HelpStatus status, std::string notice) {
    Close();
    return {status, std::string(NoticeTitle) + std::move(notice)};
}

HelpTopicText HelpSession::Load(const std::filesystem::path& folder, int topic) {
    Close();
    if (topic < 1 || topic > 9999 || HelpRecordNumber(topic) == 0)
        return Fail(HelpStatus::NoSuchTopic, "There is no help topic for this item" + TopicTag(topic));

    const HelpFilePair names = HelpFileNames(topic);
    for (const std::string& name : {names.Index, names.Text})
        if (const std::string why = Unusable(folder / name, name); !why.empty())
            return Fail(HelpStatus::FileMissing, why + TopicTag(topic));
    index_.open(folder / names.Index, std::ios::binary);
    if (!index_.is_open())
        return Fail(HelpStatus::FileMissing,
                    "The help file " + names.Index + " was not found beside the program" + TopicTag(topic));
    text_.open(folder / names.Text, std::ios::binary);
    if (!text_.is_open())
        return Fail(HelpStatus::FileMissing,
                    "The help file " + names.Text + " was not found beside the program" + TopicTag(topic));

    const auto record = static_cast<std::streamoff>(HelpRecordNumber(topic));
    const std::streamoff indexSize = StreamSize(index_);
    if (indexSize < record * static_cast<std::streamoff>(HelpRecordSize))
        return Fail(HelpStatus::BeyondIndex, "The help file " + names.Index + " has no entry for this item" +
                                                 TopicTag(topic) + " The help files may be out of date.");

    std::array<unsigned char, HelpRecordSize> bytes{};
    index_.seekg((record - 1) * static_cast<std::streamoff>(HelpRecordSize));
    index_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (index_.gcount() != static_cast<std::streamsize>(bytes.size()))
        return Fail(HelpStatus::BeyondIndex,
                    "The help file " + names.Index + " could not be read" + TopicTag(topic));

    const std::uint32_t position = Little32(bytes);
    const std::uint16_t length = Little16(bytes);
    if (position == 0 && length == 0)
        return Fail(HelpStatus::EmptyRecord, "There is no help text for this item yet" + TopicTag(topic));

    const std::streamoff textSize = StreamSize(text_);
    const auto first = static_cast<std::streamoff>(position);
    if (position == 0 || length == 0 || textSize < 0 || first - 1 + length > textSize)
        return Fail(HelpStatus::OutsideText, "The help files " + names.Index + " and " + names.Text +
                                                 " do not match" + TopicTag(topic) +
                                                 " Reinstall the help files.");

    std::string text(length, '\0');
    text_.seekg(first - 1);
    text_.read(text.data(), static_cast<std::streamsize>(length));
    if (text_.gcount() != static_cast<std::streamsize>(length))
        return Fail(HelpStatus::OutsideText,
                    "The help file " + names.Text + " could not be read" + TopicTag(topic));
    return {HelpStatus::Ok, std::move(text)};
}

void HelpSession::Close() {
    if (text_.is_open()) text_.close();
    if (index_.is_open()) index_.close();
    text_.clear();
    index_.clear();
}

HelpTopicText LoadHelpTopic(const std::filesystem::path& folder, int topic) {
    HelpSession session;
    return session.Load(folder, topic);
}

std::vector<HelpPiece> SplitHelpText(std::string_view text) {
    std::vector<HelpPiece> pieces;
    bool bold = false;
    std::size_t start = 0;
    for (std::size_t mark = text.find('$'); mark != std::string_view::npos; mark = text.find('$', start)) {
        bold = !bold;
        if (mark > start) pieces.push_back({std::string(text.substr(start, mark - start)), bold});
        start = mark + 1;
    }
    if (start < text.size()) pieces.push_back({std::string(text.substr(start)), false});
    return pieces;
}

std::string JumperHelpText(std::string_view text) {
    std::string plain(text);
    for (char& c : plain)
        if (c == '$') c = ' ';
    return plain;
}

} // namespace wm
