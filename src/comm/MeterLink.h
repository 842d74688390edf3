#pragma once
// The meter as everything above the transaction layer sees it: how it is
// reached (the link state), the texts of the exchange in flight, the
// transaction layer that carries one request and its reply, and the
// connection that reopens the link when a Put changes the meter's serial
// settings. Get, Put, the signal-conditioner service and the operating
// commands take this instead of the whole program.
#include <cstdint>
#include <string>

#include "comm/Connection.h"
#include "comm/Exchange.h"
#include "comm/LinkState.h"
#include "comm/Transaction.h"

namespace wm {

// One answer of the meter: the transaction layer's status, the reply text
// (the Custom ASCII line, or the Modbus reply in hex digits from the slave
// address on) and the Modbus exception the meter raised (0 none).
struct MeterAnswer {
    std::int16_t status = 0;
    std::string reply;
    int exception = 0;
    [[nodiscard]] bool ok() const { return status == status::Ok; }
};

struct MeterLink {
    LinkState& link;
    Exchange& x;
    Transaction& txn;
    Connection& conn;

    // "*" + MeterAddress + letters, sent without reading a reply.
    void SendAscii(const std::string& letters);
    // Sends and reads the reply.
    MeterAnswer AskAscii(const std::string& letters);
    // Sends the Modbus request (function code and data as hex digits) and
    // reads the reply.
    MeterAnswer AskModbus(const std::string& request);
    // True while an exchange is waiting: a second one must be refused.
    [[nodiscard]] bool Busy() const { return txn.Waiting(); }
};

} // namespace wm
