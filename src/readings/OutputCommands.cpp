#include "readings/OutputCommands.h"

#include <string>

namespace wm {

namespace {

std::int16_t Send(MeterLink& meter, std::string command) {
    meter.x.TxCommand = std::move(command);
    // A send that goes well leaves the status alone; start from success so
    // an earlier exchange's failure is not taken for this one's.
    meter.x.TransferStatus = status::Ok;
    meter.txn.SendCommand();
    return meter.x.TransferStatus;
}

} // namespace

std::int16_t StartContinuousOutput(MeterLink& meter) { return Send(meter, "*" + meter.link.MeterAddress + "A0"); }

std::int16_t StopContinuousOutput(MeterLink& meter) {
    return Send(meter, std::string(16, '*') + meter.link.MeterAddress + "A1");
}

} // namespace wm
