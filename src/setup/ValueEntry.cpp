#include "setup/ValueEntry.h"

#include <algorithm>

namespace wm {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string WithoutBlanks(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t') s += c;
    return s;
}

// Keeps the first point of s and drops any later one.
std::string KeepFirstPoint(const std::string& s) {
    std::string out;
    bool seen = false;
    for (char c : s) {
        if (c == '.') {
            if (seen) continue;
            seen = true;
        }
        out += c;
    }
    return out;
}

} // namespace

ValueEntry::ValueEntry(int kind, int pos, std::string_view entryText) : kind_(kind), pos_(pos) {
    std::string s = WithoutBlanks(entryText);
    const std::size_t point = s.find('.');
    // Kind 4 keeps its point in s and steps over it below; the other kinds
    // only remember where it was.
    if (point != std::string::npos && kind_ != 4) s.erase(point, 1);

    if (kind_ == 7) {
        // The byte is always shown with three digits.
        if (s.size() < 3) s.insert(0, 3 - s.size(), '0');
        s = s.substr(s.size() - 3);
        pointCode_ = 1;
        current_ = 3;
        for (int i = 0; i < 3; ++i) boxes_[static_cast<std::size_t>(3 + i)] = std::string(1, s[static_cast<std::size_t>(i)]);
        return;
    }

    // The point sits after the character at 1-based position dp of the text.
    const int dp = point == std::string::npos ? 0 : static_cast<int>(point) + 1;
    pointCode_ = 8 - dp;
    std::size_t next = 0;
    for (int i = 0; i < BoxCount; ++i) {
        if (kind_ == 4 && next == point) ++next;
        std::string& box = boxes_[static_cast<std::size_t>(i)];
        box = next < s.size() ? std::string(1, s[next++]) : std::string();
        if (CarriesPoint(i)) box += '.';
    }
}

const std::string& ValueEntry::Box(int box) const {
    return boxes_[static_cast<std::size_t>(std::clamp(box, 0, LastBox))];
}

void ValueEntry::Focus(int box) {
    if (!BoxVisible(box)) return;
    current_ = box;
    pastLastDigit_ = false;
}

KeyOutcome ValueEntry::Left() {
    // After Right on the last box the caret sits behind its digit; Left first
    // brings it back in front of that digit, on the same box.
    const bool stay = current_ == LastBox && pastLastDigit_;
    if (!stay && current_ > FirstBox()) --current_;
    pastLastDigit_ = false;
    return KeyOutcome::Taken;
}

KeyOutcome ValueEntry::Right() {
    if (current_ < LastBox) {
        pastLastDigit_ = false;
        ++current_;
    } else {
        pastLastDigit_ = true;
    }
    return KeyOutcome::Taken;
}

KeyOutcome ValueEntry::Type(char c) {
    if (kind_ == 4 && c == '.') {
        // The point is a mark on the current box, not a character of its own:
        // the box keeps its digit and the focus stays.
        MovePoint(current_);
        return KeyOutcome::Taken;
    }
    if (!BoxAccepts(current_, c)) {
        // Kind 4 refuses quietly; the others beep, except for a stray point.
        if (kind_ == 4 || c == '.') return KeyOutcome::Dropped;
        return KeyOutcome::DroppedBeep;
    }
    std::string& box = boxes_[static_cast<std::size_t>(current_)];
    box = std::string(1, c);
    if (kind_ != 7 && CarriesPoint(current_)) box += '.';
    current_ = std::min(current_ + 1, LastBox);
    return KeyOutcome::Taken;
}

KeyOutcome ValueEntry::Enter(SetupImage& image) {
    std::string s = KeepFirstPoint(JoinedBoxes());

    if (kind_ == 7) {
        int v = 0;
        for (char c : s)
            if (IsDigit(c)) v = v * 10 + (c - '0');
        if (v >= 256) {
            current_ = 4;
            return KeyOutcome::DroppedBeep;
        }
        lastByteEntry_ = v;
        const std::size_t first = std::min(s.find_first_not_of('0'), s.empty() ? 0 : s.size() - 1);
        s.erase(0, first);
        image.SetBits(7, 0, pos_, v);
    } else {
        image.StoreEnteredValue(kind_, pos_, s);
        if (!s.empty()) s.replace(0, 1, s.front() == '-' ? " - " : " +");
    }

    // The page shows a blank after the point, or in front of a whole value;
    // a point at the very end stays as it is.
    const std::size_t point = s.find('.');
    if (point == std::string::npos)
        s.insert(0, 1, ' ');
    else if (point + 1 < s.size())
        s.insert(point + 1, 1, ' ');

    entryText_ = s;
    return KeyOutcome::Stored;
}

bool ValueEntry::CarriesPoint(int box) const { return box == 6 - pointCode_; }

bool ValueEntry::BoxAccepts(int box, char c) const {
    if (kind_ == 7) return box == 3 ? (c >= '0' && c <= '2') : IsDigit(c);
    if (box == 0) return c == '+' || c == '-';
    return IsDigit(c);
}

void ValueEntry::MovePoint(int box) {
    for (std::string& b : boxes_) b = b.substr(0, 1);
    boxes_[static_cast<std::size_t>(box)] += '.';
    pointCode_ = 6 - box;
}

std::string ValueEntry::JoinedBoxes() const {
    std::string s;
    for (int i = FirstBox(); i < BoxCount; ++i) s += boxes_[static_cast<std::size_t>(i)];
    return s;
}

} // namespace wm
