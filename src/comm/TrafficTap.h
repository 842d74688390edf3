#pragma once
// Where the traffic of one program goes: the transaction layer's and the
// node link's traces become traffic lines, handed to whoever listens (the
// Traffic window while it is open, wmctl's --trace). With nobody listening
// a frame costs one test.
//
// TrafficHistory keeps the lines a window shows: at most a bound of them
// (the oldest go first), none while paused (those are counted as skipped).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "comm/TrafficLog.h"

namespace wm {

class NodeConnection;
class Transaction;

class TrafficTap {
public:
    using Listener = std::function<void(const TrafficLine&)>;

    // A handle for Unsubscribe; never 0.
    int Subscribe(Listener listener);
    void Unsubscribe(int handle);
    [[nodiscard]] bool Listening() const { return listening_ > 0; }
    void Publish(const TrafficLine& line);

    // Sets the traces of the transaction layer and of the node link to feed
    // this tap (replacing whatever trace they had).
    void Watch(Transaction& txn);
    void Watch(NodeConnection& node);

private:
    struct Entry {
        int handle;
        Listener listener; // empty once unsubscribed
    };
    std::vector<Entry> listeners_;
    int next_ = 0;
    int listening_ = 0;
};

class TrafficHistory {
public:
    explicit TrafficHistory(std::size_t limit = DefaultLimit) : limit_(limit == 0 ? 1 : limit) {}
    static constexpr std::size_t DefaultLimit = 100'000;

    // Keeps the line unless paused. When the bound is reached the oldest
    // hundredth of it goes first (at least one line). Returns how many lines
    // were dropped from the front.
    std::size_t Add(TrafficLine line);
    // How many lines the next Add drops from the front.
    [[nodiscard]] std::size_t DropsBeforeAdd() const;
    // Drops up to `count` of the oldest lines; returns how many went.
    std::size_t DropOldest(std::size_t count);
    void Clear();
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] bool Paused() const { return paused_; }

    [[nodiscard]] const std::deque<TrafficLine>& Lines() const { return lines_; }
    [[nodiscard]] std::size_t Size() const { return lines_.size(); }
    [[nodiscard]] std::size_t Limit() const { return limit_; }
    // Lines not kept because they came while paused, since the last Clear.
    [[nodiscard]] std::uint64_t Skipped() const { return skipped_; }
    // Lines dropped at the front to keep within the bound, since the last Clear.
    [[nodiscard]] std::uint64_t Dropped() const { return dropped_; }
    // Every line kept, in the traffic format, each with a line end.
    [[nodiscard]] std::string Text() const;

private:
    std::size_t limit_;
    std::deque<TrafficLine> lines_;
    bool paused_ = false;
    std::uint64_t skipped_ = 0;
    std::uint64_t dropped_ = 0;
};

} // namespace wm
