#include "transfer/GetSetup.h"

#include <string_view>

#include "transfer/Session.h"
#include "comm/Tables.h"
#include "sc/SigCond.h"
#include "setup/Fields.h"
#include "transfer/RegisterMap.h"
#include "transfer/TransferSteps.h"

namespace wm {

namespace {

std::int16_t& Status(Session& session) { return session.x.TransferStatus; }

void Fail(Session& session, std::int16_t code) { Status(session) = code; }

// A feature bit of the family byte that early family-5 meters leave clear.
constexpr int kFamilyFiveFeatureBit = 6;

// --- Custom ASCII ---------------------------------------------------------

// The main block over the serial line, then the option-board byte that the
// meter reads from its hardware ("G130") over the copy held in the block.
bool GetSerialMainBlock(Session& session, TransferStep& step) {
    // Continuous output would mix records into the replies: stop it first.
    // The run of asterisks makes sure the meter sees a request start even
    // if it is in the middle of sending.
    session.x.TxCommand = std::string(13, '*') + session.link.MeterAddress + "A1";
    session.txn.SendCommand();
    session.txn.DelayMs(200);

    BeginStep(step, session, "XU1DZ (main block)", "120 hex digits");
    if (!AskAscii(session, "XU1DZ", step)) return false;
    const auto main = HexReply(session, 120);
    if (!main) {
        Fail(session, getstatus::FirstBlock);
        return false;
    }
    session.setup.text = *main;
    ShowProgress(session, 25);

    if (session.link.MeterRevision < 7) session.txn.DelayMs(1000); // older meters are slow to answer again
    BeginStep(step, session, "G130 (option boards)", "2 hex digits");
    SendAscii(session, "G130");
    session.txn.ReceiveReply();
    NoteReply(step, session);
    session.txn.DelaySeconds(0.3f);
    if (Status(session) != status::Ok) return false;
    // The byte read from the hardware replaces the block's copy only when it
    // came whole; otherwise the copy stays.
    const std::string& reply = session.x.RxReply;
    if (reply.size() >= 2 && IsHexText(std::string_view(reply).substr(0, 2)))
        session.setup.Put(FieldNamed("ComOpt").pos, UpperCase(reply.substr(0, 2)));
    ShowProgress(session, 42);
    return true;
}

// Through the node the main block comes in two halves, second half first.
bool GetEthernetMainBlock(Session& session, TransferStep& step) {
    BeginStep(step, session, "XF0EZ (second half of the main block)", "60 hex digits");
    if (!AskAscii(session, "XF0EZ", step)) return false;
    const auto back = HexReply(session, 60);
    if (!back) {
        Fail(session, getstatus::FirstBlock);
        return false;
    }
    session.setup.text = *back;
    ShowProgress(session, 50);

    BeginStep(step, session, "XF1DZ (first half of the main block)", "60 hex digits");
    if (!AskAscii(session, "XF1DZ", step)) return false;
    const auto front = HexReply(session, 60);
    if (!front) {
        Fail(session, getstatus::SecondBlock);
        return false;
    }
    session.setup.text = *front + session.setup.text;
    ShowProgress(session, 55);
    return true;
}

bool AppendEightDigits(Session& session, const std::string& letters, const std::string& what,
                       std::int16_t failCode, TransferStep& step) {
    BeginStep(step, session, letters + " (" + what + ")", "8 hex digits");
    if (!AskAscii(session, letters, step)) return false;
    const auto block = HexReply(session, 8);
    if (!block) {
        Fail(session, failCode);
        return false;
    }
    session.setup.text += *block;
    return true;
}

// --- Modbus ---------------------------------------------------------------

std::size_t ReadReplyLength(const Session& session, int count) {
    return 6 + 4 * static_cast<std::size_t>(count) + ModbusCheckLength(session.link);
}

// A read reply: address, function and byte count, then four digits a
// register; the registers land in the image through the register map.
bool ReadBlock(Session& session, const RegisterBlock& block, TransferStep& step) {
    BeginStep(step, session, "the read of " + RegisterRange(block.start, block.count),
              "a read reply of " + std::to_string(block.count) + " registers");
    if (!AskModbus(session, ReadRequest(block), ReadReplyLength(session, block.count), block.failCode, step))
        return false;
    LandBlock(session.setup, block,
              std::string_view(session.x.ModbusReply).substr(6, 4 * static_cast<std::size_t>(block.count)));
    return true;
}

// What the image needs once a block has landed.
void AfterReadBlock(Session& session, const RegisterBlock& block) {
    constexpr const FieldDef& duplex = FieldNamed("Duplex");
    // A family-5 meter's duplex bit is taken as half duplex, whatever the register holds.
    if (session.link.FamilyFiveFlag == 1 && BlockLands(block, duplex.pos)) StoreFieldCode(session.setup, duplex, 1);
    if (BlockLands(block, FieldNamed("ModbusAddr").pos)) MakeBroadcastAddressOne(session.setup);
}

} // namespace

void ShowProgress(Session& session, int percent) { session.op.SetProgress(percent); }

int ModbusGap(const LinkState& link) {
    if (link.BaudIndex >= 2) return 2000;
    if (link.BaudIndex == 1) return 1000;
    return link.EthernetLink == 0 && link.SerialMode == 1 ? 500 : 0;
}

std::string ScaledFieldFromRegisters(std::uint32_t registers) {
    std::int64_t v = static_cast<std::int32_t>(registers);
    int sign = 0;
    if (v < 0) {
        sign = 8;
        v = -v;
    }
    int d = 6;
    while (v >= 100000 && d != 1) {
        const std::int64_t q = v / 10, r = v % 10;
        v = q + ((r > 5 || (r == 5 && (q & 1) != 0)) ? 1 : 0);
        --d;
    }
    return Hex(static_cast<std::uint32_t>(sign + d), 1) + Hex(static_cast<std::uint32_t>(v), 5);
}

TransferStep GetSetupAscii(Session& session) {
    constexpr const FieldDef& family = FieldNamed("Family");
    LinkState& link = session.link;
    TransferStep step;
    ShowProgress(session, 9);
    const bool mainBlock =
        link.EthernetLink == 0 ? GetSerialMainBlock(session, step) : GetEthernetMainBlock(session, step);
    if (!mainBlock) return step;

    if (!AppendEightDigits(session, "X26DZ", "characters 121-128", getstatus::SecondBlock, step)) return step;
    ShowProgress(session, 65);
    if (link.MeterRevision < 7) session.txn.DelayMs(1000);
    // Early family-5 meters do not report this bit though they have the feature.
    if (link.FamilyFiveFlag == 1 && link.MeterRevision < 47)
        session.setup.SetBits(kFamilyFiveFeatureBit, kFamilyFiveFeatureBit, family.pos, 1);
    if (!AppendEightDigits(session, "X236Z", "characters 129-136", getstatus::ThirdBlock, step)) return step;
    ShowProgress(session, 80);

    link.MeterRevision = FieldCode(session.setup, FieldNamed("Revision"));
    link.MeterFamily = FieldCode(session.setup, family);

    // Bit 13 of the word at 45-48 tells the meter that the program has read
    // its setup; written back at once, no reply.
    const std::uint32_t word = HexNumber(session.setup.Mid(FieldNamed("Address").pos, 4)).value_or(0) | 0x2000;
    SendAscii(session, "W112" + Hex(word, 4));
    ShowProgress(session, 100);
    session.txn.DelayMs(1500);
    session.op.SetProgressVisible(false);
    return step;
}

TransferStep GetSetupModbus(Session& session) {
    const int gap = ModbusGap(session.link);
    TransferStep step;
    ShowProgress(session, 6);
    session.op.SetProgressVisible(true);

    // Diagnostics echo: is a Modbus slave at this address at all?
    BeginStep(step, session, "the diagnostics echo (function 08)", "the echo of the request");
    if (!AskModbus(session, "0800010000", 12 + ModbusCheckLength(session.link), getstatus::FirstBlock, step))
        return step;

    for (const RegisterBlock& block : GetBlocks(session.link.EthernetLink != 0)) {
        ShowProgress(session, block.progress);
        session.txn.DelayMs(gap);
        if (!ReadBlock(session, block, step)) return step;
        AfterReadBlock(session, block);
    }
    return step;
}

std::string DescribeGetFailure(const GetResult& result) {
    if (result.status == status::Ok) return {};
    return DescribeStepFailure("Get", result.step, result.status);
}

std::string GetFailureCaption(int status) {
    const std::string number = status >= 0 ? " " + std::to_string(status) : std::to_string(status);
    return "Failed to Get data, check connections, then try again.         (" + number + ")";
}

GetResult GetSetup(Session& session) {
    GetResult result;
    if (RefuseWhileBusy(session)) {
        result.refused = true;
        return result;
    }
    Operator& op = session.op;
    op.SetBusy(true);
    session.SetupFileLine2 = "0";
    op.SetStatus(kGettingCaption, ColourGreen);
    op.SetProgress(0);
    op.SetProgressVisible(true);
    session.txn.DelayMs(5);

    result.step = session.link.UseModbus != 0 ? GetSetupModbus(session) : GetSetupAscii(session);
    result.status = session.x.TransferStatus;
    result.linkStatus = result.step.linkStatus;
    if (result.status != status::Ok) {
        session.SetupReceived = 0;
        op.SetStatus(GetFailureCaption(result.status), ColourRed);
    } else {
        session.SetupReceived = 1;
        op.SetStatus(kGetOkCaption, ColourGreen);
        result.enableMenus = true;
        result.received = session.setup.text;
        result.endProgram = CheckSCAfterGet(session) == SCCheck::EndProgram;
        op.SetProgressVisible(false);
    }
    op.SetBusy(false);
    return result;
}

} // namespace wm
