#pragma once
// Help topics and the help files that hold them.
//
// A topic number names a file and a record: the hundreds are the file number,
// the last two digits the record, so topic 1371 is record 71 of file 13. Each
// file number NN has a pair of files beside the program:
//   "Help" + NN + ".S10"  the topic texts one after the other;
//   "Help" + NN + ".R10"  fixed 6-byte records, record n for topic n: the
//                         1-based byte position of the topic's first character
//                         in the .S10 file (32-bit little-endian), then its
//                         length (16-bit little-endian). Unused records are 0.
// NN is the file number written with a leading blank and cut to its last two
// characters: file 13 gives "13", file 5 gives " 5".
//
// Help files are data delivered with the program and can be missing, short or
// damaged; nothing here may stop the program because of them. A load that
// finds no text returns a short notice to show in its place. A load reads at
// most one 6-byte record of the index and one topic of at most
// HelpTextMaxLength bytes of the text, whatever the files' sizes; a folder, a
// device or a fifo in a help file's place is refused without being opened.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace wm {

inline constexpr std::size_t HelpRecordSize = 6;
inline constexpr std::size_t HelpTextMaxLength = 0xFFFF; // the record's 16-bit length

// The character code table: shown in a fixed-width font, without the
// bold handling, because its rows line up in columns and "$" is one of the
// characters it lists.
inline constexpr int CharacterTableTopic = 1138;

[[nodiscard]] constexpr bool IsFixedWidthTopic(int topic) { return topic == CharacterTableTopic; }

struct HelpFilePair {
    std::string Text;  // "Help13.S10"
    std::string Index; // "Help13.R10"
};

// The two characters that name the help file of fileNumber (" 5", "13").
[[nodiscard]] std::string HelpFileTag(int fileNumber);
[[nodiscard]] constexpr int HelpFileNumber(int topic) { return topic / 100; }
[[nodiscard]] constexpr int HelpRecordNumber(int topic) { return topic % 100; }
// Meaningful for topics 0..9999, the numbers a 16-bit topic with a two-digit
// file number can take.
[[nodiscard]] HelpFilePair HelpFileNames(int topic);

// True when the folder holds at least one help file pair ("Help" + NN +
// ".S10" and ".R10", both regular files): the folder is a help folder.
[[nodiscard]] bool HasHelpFiles(const std::filesystem::path& folder);

enum class HelpStatus {
    Ok,
    NoSuchTopic, // outside 1..9999 or record 00: no record can hold it
    FileMissing, // a file of the pair is missing, not readable or not a regular file
    BeyondIndex, // the index file has no record for the topic
    EmptyRecord, // the record is zero: the topic has no text
    OutsideText, // position or length lies outside the text file
};

struct HelpTopicText {
    HelpStatus Status = HelpStatus::NoSuchTopic;
    // The topic's text, or for any other status a short notice in the same
    // "Title$ body" form, fit to be shown in its place.
    std::string Text;

    [[nodiscard]] bool Found() const { return Status == HelpStatus::Ok; }
};

// Holds a topic's two help files open while a window shows the topic, as the
// help windows do: they close them with their OK button. Every Load starts by
// closing whatever is still open and opens both files afresh, so no read
// position or failure state of a previous topic carries into the next one, and
// a help set replaced while the program runs is read at the next topic.
class HelpSession {
public:
    HelpSession() = default;
    HelpSession(const HelpSession&) = delete;
    HelpSession& operator=(const HelpSession&) = delete;
    ~HelpSession() { Close(); }

    // A failed load leaves no file open.
    [[nodiscard]] HelpTopicText Load(const std::filesystem::path& folder, int topic);
    void Close();
    [[nodiscard]] bool IsOpen() const { return text_.is_open() || index_.is_open(); }

private:
    HelpTopicText Fail(HelpStatus status, std::string notice);

    std::ifstream text_;
    std::ifstream index_;
};

// One load with its own session; the files are closed on return.
[[nodiscard]] HelpTopicText LoadHelpTopic(const std::filesystem::path& folder, int topic);

struct HelpPiece {
    std::string Text;
    bool Bold = false;
    friend bool operator==(const HelpPiece&, const HelpPiece&) = default;
};

// Cuts a topic text at each "$" (not shown). Every "$" toggles bold before
// the piece in front of it is printed: the piece before the first "$" is
// bold, the next one normal, and so on; the rest after the last "$" is always
// normal. A text without "$" is one normal piece. Empty pieces are left out.
// CR LF inside a piece is a line break for the window.
[[nodiscard]] std::vector<HelpPiece> SplitHelpText(std::string_view text);

// The jumper windows show a topic as a plain caption: every "$" becomes a
// blank.
[[nodiscard]] std::string JumperHelpText(std::string_view text);

} // namespace wm
