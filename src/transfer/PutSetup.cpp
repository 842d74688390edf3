#include "transfer/PutSetup.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "transfer/Session.h"
#include "comm/Tables.h"
#include "setup/Fields.h"
#include "transfer/GetSetup.h"
#include "setup/InputModes.h"
#include "transfer/RegisterMap.h"
#include "transfer/TransferSteps.h"

namespace wm {

namespace {

std::int16_t& Status(Session& session) { return session.x.TransferStatus; }

// --- the compatibility check ------------------------------------------------

std::string KindName(BoardKind kind) { return std::string(SCTypeNames[kind == BoardKind::DC ? 2 : 4]); }

struct MeterBoard {
    std::string type;  // ScTypeText
    std::string range; // MeterRangeText
    int mode = -1;     // first digit of the range byte
};

// How reading the meter's board ended. Stopped: the link failed or a reply
// had the wrong length (the status says which; nothing is to be written).
// Garbled: a reply of the right length held a character that is not a hex
// digit, so the meter answered but its board cannot be known.
enum class BoardRead { Read, Stopped, Garbled };

BoardRead TakeAsciiReply(Session& session, std::size_t length, std::int16_t failCode, std::string& out) {
    const std::string& reply = session.x.RxReply;
    if (reply.size() != length) {
        Status(session) = failCode;
        return BoardRead::Stopped;
    }
    if (!IsHexText(reply)) return BoardRead::Garbled;
    out = UpperCase(reply);
    return BoardRead::Read;
}

BoardRead ReadBoardAscii(Session& session, int gap, MeterBoard& board, TransferStep& step) {
    SendAscii(session, "A1"); // continuous output off
    session.txn.DelayMs(200);
    BeginStep(step, session, "X115 (board type)", "4 hex digits");
    if (!AskAscii(session, "X115", step)) return BoardRead::Stopped;
    std::string id;
    if (const BoardRead r = TakeAsciiReply(session, 4, putstatus::AsciiTypeReply, id); r != BoardRead::Read) return r;
    board.type = id.substr(2, 2);
    session.txn.DelayMs(gap);
    ShowProgress(session, 15);
    BeginStep(step, session, "G12C (input mode and range)", "2 hex digits");
    if (!AskAscii(session, "G12C", step)) return BoardRead::Stopped;
    if (const BoardRead r = TakeAsciiReply(session, 2, putstatus::AsciiRangeReply, board.range); r != BoardRead::Read)
        return r;
    board.mode = HexDigitValue(board.range[0]);
    return BoardRead::Read;
}

// One register read of the check; the register's low byte in `low`.
BoardRead AskBoardRegister(Session& session, const std::string& request, std::int16_t failCode, TransferStep& step,
                           std::string& low) {
    const std::size_t length = 10 + ModbusCheckLength(session.link);
    if (AskModbus(session, request, length, failCode, step)) {
        low = UpperCase(session.x.ModbusReply.substr(8, 2));
        return BoardRead::Read;
    }
    // Only Modbus ASCII can carry a non-hex character; RTU and TCP replies
    // are turned into digits below the check.
    const std::string& reply = session.x.ModbusReply;
    const bool garbled = step.linkStatus == status::Ok && reply.size() == length &&
                         !IsHexText(std::string_view(reply).substr(0, length - ModbusCheckLength(session.link)));
    return garbled ? BoardRead::Garbled : BoardRead::Stopped;
}

BoardRead ReadBoardModbus(Session& session, int gap, MeterBoard& board, TransferStep& step) {
    BeginStep(step, session, "the read of register 0068 (board type)", "a read reply of 1 register");
    if (const BoardRead r = AskBoardRegister(session, "0300680001", putstatus::ModbusTypeReply, step, board.type);
        r != BoardRead::Read)
        return r;
    session.txn.DelayMs(gap);
    ShowProgress(session, 15);
    BeginStep(step, session, "the read of register 0045 (input mode and range)", "a read reply of 1 register");
    if (const BoardRead r = AskBoardRegister(session, "0300450001", putstatus::ModbusRangeReply, step, board.range);
        r != BoardRead::Read)
        return r;
    board.mode = HexDigitValue(board.range[0]);
    return BoardRead::Read;
}

bool Abandon(Session& session, const char* text, MessageId id) {
    session.op.Ask({text, "", Buttons::Ok, Answer::Ok, Icon::None, id});
    session.op.HideStatus();
    Status(session) = status::Ok;
    return false;
}

std::string MismatchText(BoardKind meter, BoardKind data) {
    const std::string cr(1, CarriageReturn);
    return "The Meter Signal Conditioner Type is '" + KindName(meter) + "'" + cr +
           "The Signal Conditioner Type data to be PUT is '" + KindName(data) + "'" + cr +
           "These are not compatible.  You might be able to correct this discrepancy by clicking "
           "on the Main Menu item 'SigCondType'.  If you continue, all data except the "
           "Signal Conditioner Type and Range will be PUT to the Meter ( Not Recommended )." +
           cr + "Continue?";
}

// --- the Modbus write -------------------------------------------------------

// The meter's answer to a write of registers: its slave address, then the
// function, start register and count of the request.
bool IsWriteReply(const Session& session, const std::string& request) {
    const std::string& reply = session.x.ModbusReply;
    if (session.x.TransferStatus != status::Ok || request.size() < 10) return false;
    if (reply.size() != 12 + ModbusCheckLength(session.link)) return false;
    return UpperCase(reply.substr(0, 12)) == UpperCase(session.link.ModbusAddressHex + request.substr(0, 10));
}

// One write-multiple-registers request, the number-th of the Put. The
// meter's answer must be a write reply for these registers: in Modbus ASCII
// and through the node an exception reply is not flagged by the transaction
// layer, and a line that should echo and did not leaves an empty reply with
// status 0; neither may pass as written.
bool WriteBlock(Session& session, const RegisterBlock& block, int number, PutResult& result) {
    TransferStep& step = result.step;
    const std::string request = WriteRequest(session.setup, block);
    BeginStep(step, session,
              "request " + std::to_string(number) + " of " + std::to_string(kModbusPutBlocks) + " (" +
                  RegisterRange(block.start, block.count) + ")",
              "a write reply for those registers");
    (void)session.AskModbus(request); // judged whole by IsWriteReply below
    NoteReply(step, session);
    if (IsWriteReply(session, request)) {
        ++result.blocksAcknowledged;
        return true;
    }
    // Only a refusal says the meter did not take the block. Silence does not:
    // the meter may have stored it and answered too late, or its answer may
    // have been lost on the way.
    const bool refused = (step.linkStatus >= 1 && step.linkStatus <= 9) || step.exception != 0;
    result.failedBlockMayBeWritten = !refused;
    Status(session) = block.failCode;
    return false;
}

bool WriteAllBlocks(Session& session, PutResult& result) {
    const int gap = ModbusGap(session.link);
    ShowProgress(session, 30);
    session.op.SetProgressVisible(true);
    int number = 0;
    for (const RegisterBlock& block : PutBlocks) {
        if (block.pause == BlockPause::BeforeProgress) session.txn.DelayMs(gap);
        ShowProgress(session, block.progress);
        if (block.pause == BlockPause::AfterProgress) session.txn.DelayMs(gap);
        if (!WriteBlock(session, block, ++number, result)) return false;
        // Once the meter has taken its (possibly new) slave address, the
        // rest of the Put goes to that address, and so does everything after it.
        if (BlockWrites(block, FieldNamed("ModbusAddr").pos)) {
            MakeBroadcastAddressOne(session.setup);
            session.link.ModbusAddressHex = session.setup.Mid(FieldNamed("ModbusAddr").pos, 2);
        }
    }
    return true;
}

std::optional<std::int64_t> SignedHex(std::string_view digits) {
    const auto v = HexNumber(digits);
    if (!v) return std::nullopt;
    return static_cast<std::int64_t>(*v);
}

} // namespace

bool CheckPutCompatibility(Session& session, TransferStep& step) {
    const int gap = ModbusGap(session.link);
    ShowProgress(session, 5);
    session.op.SetProgressVisible(true);

    MeterBoard board;
    const BoardRead read = session.link.UseModbus != 0 ? ReadBoardModbus(session, gap, board, step)
                                                       : ReadBoardAscii(session, gap, board, step);
    if (read == BoardRead::Stopped) return true; // the status tells the Put that nothing is to be written
    constexpr const char* undetermined = "Meter type could not be determined, DPM PUT will be aborted.";
    if (read == BoardRead::Garbled) return Abandon(session, undetermined, MessageId::MeterTypeUndetermined);
    session.derived.ScTypeText = board.type;

    const BoardKind meter = BoardKindOf(board.type, board.mode);
    if (meter == BoardKind::Undetermined) return Abandon(session, undetermined, MessageId::MeterTypeUndetermined);

    constexpr const FieldDef& type = FieldNamed("ScTypeCode");
    constexpr const FieldDef& range = FieldNamed("InCode"); // with Func, the whole range byte
    const std::string rangeByte = session.setup.Mid(range.pos, 2);
    const BoardKind data =
        BoardKindOf(session.setup.Mid(type.pos, 2), rangeByte.empty() ? -1 : HexDigitValue(rangeByte[0]));
    if (data == BoardKind::Undetermined)
        return Abandon(session,
                       "Data to be PUT contains incompatible Signal Conditioner Type and Range, DPM PUT "
                       "will be aborted.",
                       MessageId::IncompatibleData);

    if (meter != data) {
        Operator& op = session.op;
        op.HideStatus();
        if (op.Ask({MismatchText(meter, data), "Error", Buttons::YesNo, Answer::No, Icon::None,
                    MessageId::SCMismatch}) != Answer::Yes) {
            Status(session) = status::Ok;
            return false;
        }
        session.setup.Put(type.pos, board.type);
        session.setup.Put(range.pos, board.range);
        op.SetStatus(kPuttingCaption, ColourGreen);
    }
    session.txn.DelayMs(gap);
    return true;
}

namespace {

// The stretches of the image that the Custom ASCII writes carry: the meter's
// transfer blocks rather than fields. Characters 13-20 are never written.
constexpr CharRange kAsciiMain{21, 100};     // "WP18": the main settings
constexpr CharRange kAsciiMainFront{21, 52}; // "WD18": through the node, in two parts
constexpr CharRange kAsciiMainBack{73, 48};  // "WC0B"
constexpr CharRange kAsciiHead{1, 12};       // "W31D": tare, output and count bytes
constexpr CharRange kAsciiIdentity{121, 8};  // "W26D": revision, family, stop and start characters
constexpr CharRange kAsciiProtocol{129, 8};  // "W236": protocol, parity and slave address

std::string Chars(const SetupImage& image, CharRange range) { return image.Mid(range.pos, range.len); }

} // namespace

void PutSetupAscii(Session& session) {
    SetupImage& im = session.setup;
    ShowProgress(session, 23);
    session.op.SetProgressVisible(true);
    if (Status(session) != status::Ok) return; // the check could not reach the meter

    // Family 6 meters must not receive bit 5 of the alarm byte set (a bit no
    // field of this program uses).
    if (session.link.MeterFamily == 6) im.SetBits(5, 5, FieldNamed("NoRdgsAlm").pos, 0);

    if (session.link.EthernetLink == 0) {
        SendAscii(session, "WP18" + Chars(im, kAsciiMain) + "Z");
    } else {
        // The node's buffer takes the block in two parts.
        SendAscii(session, "WD18" + Chars(im, kAsciiMainFront) + "Z");
        ShowProgress(session, 30);
        SendAscii(session, "WC0B" + Chars(im, kAsciiMainBack) + "Z");
    }
    ShowProgress(session, 40);
    SendAscii(session, "W31D" + Chars(im, kAsciiHead) + "Z");
    ShowProgress(session, 50);
    SendAscii(session, "W26D" + Chars(im, kAsciiIdentity) + "Z");
    ShowProgress(session, 60);
    SendAscii(session, "W236" + Chars(im, kAsciiProtocol));

    session.txn.DelayMs(2000); // the meter stores the blocks before it answers again
    ShowProgress(session, 75);
    UpdateSettingsFromSetup(session);
    session.txn.DelayMs(1000);
    ShowProgress(session, 100);
    session.op.SetProgressVisible(false);
}

void PutSetupModbus(Session& session, PutResult& result) {
    // The Modbus Put goes ahead whatever the check left: a check that could
    // not read the board (a time-out, a short reply) does not stop it: the
    // Modbus Put has always written the setup whatever the check could read.
    Status(session) = status::Ok;
    result.blocks = kModbusPutBlocks;
    result.blocksAcknowledged = 0;
    result.failedBlockMayBeWritten = false;
    // A setup completed from a 120-character file has no characters 129-136
    // (protocol, parity and slave address): request 5 could not be built, and
    // the blocks before it must not be written alone.
    if (session.setup.text.size() < 136) {
        Status(session) = putstatus::ShortImage;
        result.step = TransferStep{};
        result.step.modbus = true;
        result.step.problem = "the setup has no characters 129-136 (protocol, parity and slave address), so "
                              "request 5 could not be built";
    }
    if (Status(session) == status::Ok && WriteAllBlocks(session, result)) {
        UpdateSettingsFromSetup(session);
        Status(session) = status::Ok;
    }
    session.op.SetProgressVisible(false);
}

std::string SignedFieldToHex8(const std::string& field) {
    constexpr std::int64_t limit = 99999;
    const std::int64_t n = SignedHex(field).value_or(0);
    if (!field.empty() && field[0] == '0') return "00" + (n > limit ? std::string("01869F") : field);
    const std::int64_t negative = n - 0x1000000;
    return "FF" + (negative < -limit ? std::string("FE7961") : field);
}

std::string ScaledFieldToHex8(const std::string& field) {
    const int k = field.empty() ? 0 : std::max(0, HexDigitValue(field[0]));
    const std::int64_t m = field.size() > 1 ? SignedHex(field.substr(1, 5)).value_or(0) : 0;
    int d = 0;
    if (k >= 8) {
        d = k == 8 ? 1 : std::min(k - 8, 6);
    } else {
        d = k == 0 ? 1 : (k == 7 ? 6 : k);
    }
    std::int64_t value = m;
    for (int i = d; i < 6; ++i)
        value *= 10;
    if (k >= 8) value = -value;
    value = std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
    return Hex(static_cast<std::uint32_t>(static_cast<std::int32_t>(value)), 8);
}

void UpdateSettingsFromSetup(Session& session) {
    LinkState& link = session.link;
    const SetupImage& im = session.setup;
    std::string line = link.SettingsLine1;
    if (line.size() < 12) return; // no usable settings file to follow

    auto digit = [](int v) { return static_cast<char>('0' + v % 10); };
    line[1] = digit(FieldCode(im, FieldNamed("BaudRate")));
    const int protocol = FieldCode(im, FieldNamed("SerProtocol"));
    line[4] = digit(protocol);
    int parity = 0;
    if (protocol != 0) {
        link.UseModbus = 1;
        parity = FieldCode(im, FieldNamed("Parity"));
    } else {
        link.UseModbus = 0;
    }
    line[5] = digit(parity);
    const int address = FieldCode(im, FieldNamed("Address"));
    line[7] = static_cast<char>(address < 10 ? address + 48 : address + 55);
    const std::string modbusAddress = std::to_string(FieldCode(im, FieldNamed("ModbusAddr")));
    line.replace(8, 3, std::string(3 - modbusAddress.size(), '0') + modbusAddress);
    line[11] = digit(FieldCode(im, FieldNamed("Duplex")));

    if (line == link.SettingsLine1) return;
    // A protocol or parity code of 3 has no meaning for the link: writing it
    // would leave a settings file the next start could not use.
    LinkState trial;
    const std::string problem = DeriveLinkState(line, link.SettingsLine2, trial);
    if (!problem.empty()) {
        session.op.Ask({"The setup just written holds serial settings the program cannot follow (" + problem +
                            "); Settings.SSS is left as it was.",
                        "Settings.SSS", Buttons::Ok, Answer::Ok, Icon::Exclamation, MessageId::SettingsNotFollowed});
        link.UseModbus = link.SerialMode != 0 ? 1 : 0; // the link stays as it was
        return;
    }
    link.SettingsLine1 = line;
    (void)session.conn.RewriteSettings(); // a failure has been told; the reopen then follows the old file
    session.conn.OpenConnection();
}

std::string PartialWriteText(const PutResult& result) {
    if (result.status == status::Ok || result.blocks == 0) return {};
    const int k = result.blocksAcknowledged;
    const std::string of = " of " + std::to_string(result.blocks);
    const std::string again = " Put the setup again when the link works.";
    if (k == 0) {
        if (!result.failedBlockMayBeWritten) return {};
        return "The meter did not acknowledge block 1" + of +
               ", but it may have taken the block: its setup may now be partly written." +
               again;
    }
    const std::string blocks = k == 1 ? "block 1" : "blocks 1 to " + std::to_string(k);
    return "The meter acknowledged " + blocks + of + " before the Put stopped: its setup is now partly written." +
           again;
}

std::string DescribePutFailure(const PutResult& result) {
    if (result.status == status::Ok) return {};
    std::string text = DescribeStepFailure("Put", result.step, result.status);
    if (result.blocks == 0 || (result.blocksAcknowledged == 0 && !result.step.problem.empty()))
        return text + "; nothing was written";
    const int k = result.blocksAcknowledged;
    if (k == 0) return text + (result.failedBlockMayBeWritten ? "; no block was acknowledged, though the meter may "
                                                                "have taken block 1"
                                                              : "; no block was acknowledged, nothing was written");
    return text + "; the meter acknowledged " + (k == 1 ? "block 1" : "blocks 1 to " + std::to_string(k)) + " of " +
           std::to_string(result.blocks) + ", so its setup is partly written";
}

std::string PutFailureCaption(int status) {
    if (status == putstatus::ShortImage)
        return "Data transfer unsuccessful. The setup has no characters 129-136 (protocol, parity and slave "
               "address): nothing was written.     (" +
               std::to_string(status) + ")";
    return "Data transfer unsuccessful. Check connections and try again.     (" + std::to_string(status) +
           ")";
}

PutResult PutSetup(Session& session) {
    PutResult result;
    if (RefuseWhileBusy(session)) {
        result.refused = true;
        return result;
    }
    Operator& op = session.op;
    op.SetBusy(true);
    op.SetStatus(kPuttingCaption, ColourGreen);
    if (session.setup.text.size() == 120) session.setup.text += "00000000";

    // The settings file may have been changed outside since the last Put.
    session.conn.OpenConnection();
    if (session.conn.Refused()) {
        result.endProgram = true;
        op.SetBusy(false);
        return result;
    }
    op.SetProgress(0);
    op.SetProgressVisible(false);

    Status(session) = status::Ok;
    if (!CheckPutCompatibility(session, result.step)) {
        result.abandoned = true;
        op.SetBusy(false);
        return result;
    }
    op.SetStatus(kPuttingCaption, ColourGreen);
    if (session.link.UseModbus != 0) {
        PutSetupModbus(session, result);
    } else {
        PutSetupAscii(session);
    }
    result.status = Status(session);
    result.linkStatus = result.step.linkStatus;
    if (result.status != status::Ok) {
        op.SetStatus(PutFailureCaption(result.status), ColourRed);
        const std::string partly = PartialWriteText(result);
        if (!partly.empty())
            op.Ask({partly, "Put Setup", Buttons::Ok, Answer::Ok, Icon::Exclamation, MessageId::PartialWrite});
    } else {
        op.SetStatus(kPutOkCaption, ColourGreen);
    }
    op.SetBusy(false);
    return result;
}

} // namespace wm
