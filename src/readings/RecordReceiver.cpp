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
    for (;;) {
        if (stop && stop()) return {Outcome::Stopped, {}, clock_.TickMs()};
        if (port_.Gone()) return {Outcome::Gone, {}, clock_.TickMs()};
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
            if (quiet >= quietLimitMs) return {Outcome::Quiet, {}, now};
            wait = std::min(wait, quietLimitMs - quiet);
        }
        if (bytes.empty()) pump_.WaitFor(wait);
    }
}

} // namespace wm
