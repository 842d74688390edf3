#include "comm/TrafficTap.h"

#include <algorithm>
#include <utility>

#include "comm/NodeConnection.h"
#include "comm/Transaction.h"

namespace wm {

int TrafficTap::Subscribe(Listener listener) {
    std::erase_if(listeners_, [](const Entry& e) { return !e.listener; });
    const int handle = ++next_;
    listeners_.push_back({handle, std::move(listener)});
    ++listening_;
    return handle;
}

void TrafficTap::Unsubscribe(int handle) {
    // Only emptied here: a listener may unsubscribe while a line is handed out.
    for (Entry& e : listeners_) {
        if (e.handle == handle && e.listener) {
            e.listener = nullptr;
            --listening_;
        }
    }
}

void TrafficTap::Publish(const TrafficLine& line) {
    // By index: a listener that subscribes another one must not invalidate
    // the walk (the new one hears from the next line on).
    const std::size_t count = listeners_.size();
    for (std::size_t i = 0; i < count && i < listeners_.size(); ++i) {
        if (listeners_[i].listener) {
            const Listener listener = listeners_[i].listener;
            listener(line);
        }
    }
}

void TrafficTap::Watch(Transaction& txn) {
    txn.trace = [this](const char* what, const std::string& bytes, std::uint32_t tick) {
        if (Listening()) Publish(TraceLine(what, bytes, tick));
    };
    txn.traceEnd = [this](std::int16_t status, std::uint32_t tick) {
        if (Listening()) Publish(EndLine(status, tick));
    };
}

void TrafficTap::Watch(NodeConnection& node) {
    node.trace = [this](const char* what, const std::string& bytes, std::uint32_t tick) {
        if (Listening()) Publish(TraceLine(what, bytes, tick));
    };
}

std::size_t TrafficHistory::Add(TrafficLine line) {
    if (paused_) {
        ++skipped_;
        return 0;
    }
    const std::size_t dropped = DropOldest(DropsBeforeAdd());
    lines_.push_back(std::move(line));
    return dropped;
}

std::size_t TrafficHistory::DropsBeforeAdd() const {
    if (paused_ || lines_.size() < limit_) return 0;
    // A hundredth of the bound at once: a window drops its oldest rows in
    // one go now and then instead of one with every line.
    return std::min(lines_.size(), std::max<std::size_t>(1, limit_ / 100));
}

std::size_t TrafficHistory::DropOldest(std::size_t count) {
    count = std::min(count, lines_.size());
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(count));
    dropped_ += count;
    return count;
}

void TrafficHistory::Clear() {
    lines_.clear();
    skipped_ = 0;
    dropped_ = 0;
}

std::string TrafficHistory::Text() const {
    std::string text;
    for (const TrafficLine& line : lines_) {
        text += FormatTrafficLine(line);
        text += '\n';
    }
    return text;
}

} // namespace wm
