#include "comm/MeterLink.h"

namespace wm {

void MeterLink::SendAscii(const std::string& letters) {
    x.TxCommand = "*" + link.MeterAddress + letters;
    txn.SendCommand();
}

MeterAnswer MeterLink::AskAscii(const std::string& letters) {
    SendAscii(letters);
    txn.ReceiveReply();
    return {x.TransferStatus, x.RxReply, x.ModbusException};
}

MeterAnswer MeterLink::AskModbus(const std::string& request) {
    x.ModbusRequest = request;
    txn.SendCommand();
    txn.ReceiveReply();
    return {x.TransferStatus, x.ModbusReply, x.ModbusException};
}

} // namespace wm
