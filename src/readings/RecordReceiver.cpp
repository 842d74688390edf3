#include "readings/RecordReceiver.h"

#include <algorithm>
#include <optional>

namespace wm {

void RecordReceiver::Discard() {
    const std::string dropped = port_.Input();
    if (tap && !dropped.empty()) tap(dropped, clock_.TickMs());
}

ReceivedRecord RecordReceiver::Next(RecordFramer& framer, const std::function<bool()>& stop,
                                    std::uint32_t quietLimitMs, std::uint32_t quietSinceTick) {
    using Outcome = ReceivedRecord::Outcome;
    // Leaving without a record: later reads (a reply, another run) must not
    // be held back.
    const auto leave = [this](Outcome outcome, std::uint32_t tick) {
        port_.SetWakeThreshold(1);
        return ReceivedRecord{outcome, {}, tick};
    };
    for (;;) {
        if (stop && stop()) return leave(Outcome::Stopped, clock_.TickMs());
        if (port_.Gone()) return leave(Outcome::Gone, clock_.TickMs());
        const std::string bytes = port_.Input();
        const std::uint32_t now = clock_.TickMs();
        if (!bytes.empty()) {
            if (tap) tap(bytes, now);
            if (std::optional<std::string> shown = framer.Feed(bytes)) return {Outcome::Record, std::move(*shown), now};
        }
        std::uint32_t wait = PollMs;
        if (quietLimitMs > 0) {
            // Unsigned difference: right across the tick counter's wrap.
            const std::uint32_t quiet = now - quietSinceTick;
            if (quiet >= quietLimitMs) return leave(Outcome::Quiet, now);
            wait = std::min(wait, quietLimitMs - quiet);
        }
        if (bytes.empty()) {
            // Records of one length: sleep until the one under way can be whole.
            port_.SetWakeThreshold(framer.CharsToRecordEnd());
            pump_.WaitFor(wait);
        }
    }
}

} // namespace wm
