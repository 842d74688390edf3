#pragma once
// The meter's continuous output cut into records, as the readings list, plot
// and graph show them. Started with "*<address>A0", the meter sends one
// record per reading, each closed by the record end character; the program
// reacts to every arrival of data on the port and shows at most the oldest
// whole record it holds, so a slow display never falls behind the meter: the
// records that queued up behind it are dropped.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "setup/SetupImage.h"

namespace wm {

// The main window's refusal to list, plot or graph readings under Modbus:
// the meter's continuous output exists only in Custom ASCII.
inline constexpr const char* kListNeedsAscii =
    "The Custom ASCII protocol must be used to list, plot or graph readings.";

// The characters that frame the output records.
struct RecordCharacters {
    // Ends every record: carriage return, or line feed when the meter is set
    // to include one; with custom transmit characters the stop character (or
    // the start character when no stop character is set).
    char end = '\r';
    // The second special character of the output (the transmit start
    // character); none when the start character ends the records.
    std::optional<char> mark = '\0';
    // The meter's custom transmit characters setting (TranChars) is on: shown
    // records carry "t" for the mark and "p" for the end character.
    bool custom = false;
};

// The record characters of the setup in image. meterRevision is the meter's
// firmware revision: meters of revision 0 have no custom transmit characters,
// whatever the setup says.
[[nodiscard]] RecordCharacters ChooseRecordCharacters(const SetupImage& image, int meterRevision);

// A record as shown: with custom characters, every non-zero mark character
// becomes "t", then every non-zero end character "p".
[[nodiscard]] std::string ShownRecord(std::string_view record, const RecordCharacters& chars);

enum class FramerState {
    Synchronising, // the first record, possibly the tail of one, is dropped
    Measuring,     // the first whole record gives the sample line, not shown
    Running,       // records are shown
};

// What the records are for. The list measures its first whole record to size
// its rows and shows the ones after it; the plot and graph have nothing to
// measure and use every record after the dropped first one.
enum class FramerUse { List, Values };

// Cuts records from the bytes the port delivers. Feed it each arrival as it
// comes (any chunking): records are shown as soon as their end character
// arrives, with no polling.
//
// Memory: between arrivals the framer keeps at most maxBuffered bytes, the
// record under way. A record longer than maxBuffered (its end character
// included) is never shown nor measured, however it arrives: a stream that
// never sends its end character (wrong baud rate, wrong end character) costs
// at most maxBuffered bytes and drops the overlong record when the end
// character finally comes.
class RecordFramer {
public:
    static constexpr std::size_t DefaultMaxBuffered = 4096;

    explicit RecordFramer(RecordCharacters chars, std::size_t maxBuffered = DefaultMaxBuffered,
                          FramerUse use = FramerUse::List);

    // Takes what the port delivered and returns the record to show from this
    // arrival, its end character included and the "t"/"p" replacements made:
    // the oldest whole record held. Whole records behind it are dropped, an
    // incomplete tail is kept for the next arrival.
    [[nodiscard]] std::optional<std::string> Feed(std::string_view bytes);

    // While paused, everything that arrives is dropped and nothing is held.
    // The meter keeps sending meanwhile, so after Continue the first record
    // received may be the tail of one: it is dropped like the first record
    // after the start.
    void Pause();
    void Continue();
    [[nodiscard]] bool Paused() const { return paused_; }

    [[nodiscard]] FramerState State() const { return state_; }
    // The measured record without its end character followed by "p": the
    // line whose height sizes the list's rows. Empty until measured.
    [[nodiscard]] const std::string& SampleLine() const { return sample_; }
    [[nodiscard]] const RecordCharacters& Characters() const { return chars_; }
    // Bytes held for the record under way (never more than MaxBuffered()
    // between arrivals).
    [[nodiscard]] std::size_t Buffered() const { return buffer_.size(); }
    [[nodiscard]] std::size_t MaxBuffered() const { return maxBuffered_; }
    // The length of the last whole record measured or shown, its end
    // character included; 0 before the first.
    [[nodiscard]] std::size_t RecordLength() const { return recordLength_; }
    // The characters the record under way still needs if it is as long as
    // the last one; 1 when that is not known or already passed. A reader
    // need not wake before that many have arrived.
    [[nodiscard]] std::size_t CharsToRecordEnd() const {
        return recordLength_ > buffer_.size() ? recordLength_ - buffer_.size() : 1;
    }

private:
    RecordCharacters chars_;
    std::size_t maxBuffered_;
    std::string buffer_;
    std::string sample_;
    std::size_t recordLength_ = 0;
    FramerState state_ = FramerState::Synchronising;
    bool paused_ = false;
    FramerUse use_;
    // The next record cut may lack its beginning (after a pause, or after an
    // overlong record was let go): drop it.
    bool dropNext_ = false;
};

// Where the readings list puts its records: 20 record columns (0-19) filled
// row by row over `rows` rows, wrapping to the top-left cell when full. The
// grid's 21st column stays empty.
struct GridCursor {
    static constexpr int Columns = 20;

    struct Cell {
        int row = 0;
        int col = 0;
        friend bool operator==(const Cell&, const Cell&) = default;
    };
    struct Placed {
        Cell record; // gets the record
        Cell blank;  // gets one blank: marks the next record's cell and erases its old record
    };

    // The rows in use (ListRows). Fewer than 1 count as 1: a grid too small
    // for one row still cycles through the cells of row 0.
    int rows = 1;
    // The cell the next record goes to.
    Cell next;

    Placed Put();
};

} // namespace wm
