#include "readings/RecordFramer.h"

#include <algorithm>

#include "setup/Fields.h"

namespace wm {

RecordCharacters ChooseRecordCharacters(const SetupImage& image, int meterRevision) {
    RecordCharacters chars;
    chars.custom = FieldCode(image, FieldNamed("TranChars")) == 1;
    chars.end = FieldCode(image, FieldNamed("LF")) == 1 ? '\n' : '\r';
    chars.mark = '\0';
    if (meterRevision <= 0 || !chars.custom) return chars;

    const int stop = FieldCode(image, FieldNamed("StopChar"));
    const char start = static_cast<char>(FieldCode(image, FieldNamed("StartChar")));
    if (stop == 0) {
        // No stop character: the meter opens each record with the start
        // character, which therefore also closes the one before.
        chars.end = start;
        chars.mark.reset();
    } else {
        chars.end = static_cast<char>(stop);
        chars.mark = start;
    }
    return chars;
}

std::string ShownRecord(std::string_view record, const RecordCharacters& chars) {
    std::string shown(record);
    if (!chars.custom) return shown;
    if (chars.mark && *chars.mark != '\0') std::replace(shown.begin(), shown.end(), *chars.mark, 't');
    if (chars.end != '\0') std::replace(shown.begin(), shown.end(), chars.end, 'p');
    return shown;
}

RecordFramer::RecordFramer(RecordCharacters chars, std::size_t maxBuffered, FramerUse use)
    : chars_(chars), maxBuffered_(std::max<std::size_t>(maxBuffered, 1)), use_(use) {}

void RecordFramer::Pause() {
    paused_ = true;
    buffer_.clear();
    dropNext_ = true;
}

void RecordFramer::Continue() { paused_ = false; }

std::optional<std::string> RecordFramer::Feed(std::string_view bytes) {
    if (paused_) {
        buffer_.clear();
        return std::nullopt;
    }
    buffer_.append(bytes);

    // One pass per record end held, each taking the record that starts at
    // `from`. Synchronising and measuring take one record each and go on with
    // what is left; showing a record drops the queue behind it, so at most
    // one record is shown per arrival. What was taken is erased once, at the
    // end, so a large arrival costs linear time.
    std::optional<std::string> shown;
    std::size_t from = 0;
    for (std::size_t end = buffer_.find(chars_.end); end != std::string::npos && !shown;
         end = buffer_.find(chars_.end, from)) {
        const std::size_t length = end + 1 - from;
        if (dropNext_ || length > maxBuffered_ || state_ == FramerState::Synchronising) {
            // A partial or overlong record; the first one dropped after the
            // start is the synchronisation.
            from = end + 1;
            dropNext_ = false;
            if (state_ == FramerState::Synchronising)
                state_ = use_ == FramerUse::List ? FramerState::Measuring : FramerState::Running;
            continue;
        }
        recordLength_ = length;
        if (state_ == FramerState::Measuring) {
            sample_ = buffer_.substr(from, length - 1) + "p";
            state_ = FramerState::Running;
        } else {
            shown = ShownRecord(std::string_view(buffer_).substr(from, length), chars_);
        }
        // The whole records queued behind this one go; the tail stays.
        from = buffer_.rfind(chars_.end) + 1;
    }
    buffer_.erase(0, from);

    if (buffer_.size() > maxBuffered_) {
        // The record under way is already too long to show: let it go now
        // rather than hold it, and drop what is left of it when its end comes.
        buffer_.clear();
        dropNext_ = true;
    }
    return shown;
}

GridCursor::Placed GridCursor::Put() {
    Placed placed{.record = next, .blank = {}};
    if (++next.col > Columns - 1) {
        next.col = 0;
        if (++next.row > std::max(rows, 1) - 1) next.row = 0;
    }
    placed.blank = next;
    return placed;
}

} // namespace wm
