#include "setup/GetSetup.h"

#include <string_view>

#include "app/Program.h"
#include "app/Tables.h"
#include "sc/SigCond.h"
#include "setup/Fields.h"
#include "setup/RegisterMap.h"
#include "setup/TransferSteps.h"

namespace wm {

namespace {

std::int16_t& Status(Program& program) { return program.x.TransferStatus; }

void Fail(Program& program, std::int16_t code) { Status(program) = code; }

// A feature bit of the family byte that early family-5 meters leave clear.
constexpr int kFamilyFiveFeatureBit = 6;

// --- Custom ASCII ---------------------------------------------------------

// The main block over the serial line, then the option-board byte that the
// meter reads from its hardware ("G130") over the copy held in the block.
bool GetSerialMainBlock(Program& program, TransferStep& step) {
    // Continuous output would mix records into the replies: stop it first.
    // The run of asterisks makes sure the meter sees a request start even
    // if it is in the middle of sending.
    program.x.TxCommand = std::string(13, '*') + program.link.MeterAddress + "A1";
    program.txn.SendCommand();
    program.txn.DelayMs(200);

    BeginStep(step, program, "XU1DZ (main block)", "120 hex digits");
    if (!AskAscii(program, "XU1DZ", step)) return false;
    const auto main = HexReply(program, 120);
    if (!main) {
        Fail(program, getstatus::FirstBlock);
        return false;
    }
    program.setup.text = *main;
    ShowProgress(program, 25);

    if (program.link.MeterRevision < 7) program.txn.DelayMs(1000); // older meters are slow to answer again
    BeginStep(step, program, "G130 (option boards)", "2 hex digits");
    SendAscii(program, "G130");
    program.txn.ReceiveReply();
    NoteReply(step, program);
    program.txn.DelaySeconds(0.3f);
    if (Status(program) != status::Ok) return false;
    // The byte read from the hardware replaces the block's copy only when it
    // came whole; otherwise the copy stays.
    const std::string& reply = program.x.RxReply;
    if (reply.size() >= 2 && IsHexText(std::string_view(reply).substr(0, 2)))
        program.setup.Put(FieldNamed("ComOpt").pos, UpperCase(reply.substr(0, 2)));
    ShowProgress(program, 42);
    return true;
}

// Through the node the main block comes in two halves, second half first.
bool GetEthernetMainBlock(Program& program, TransferStep& step) {
    BeginStep(step, program, "XF0EZ (second half of the main block)", "60 hex digits");
    if (!AskAscii(program, "XF0EZ", step)) return false;
    const auto back = HexReply(program, 60);
    if (!back) {
        Fail(program, getstatus::FirstBlock);
        return false;
    }
    program.setup.text = *back;
    ShowProgress(program, 50);

    BeginStep(step, program, "XF1DZ (first half of the main block)", "60 hex digits");
    if (!AskAscii(program, "XF1DZ", step)) return false;
    const auto front = HexReply(program, 60);
    if (!front) {
        Fail(program, getstatus::SecondBlock);
        return false;
    }
    program.setup.text = *front + program.setup.text;
    ShowProgress(program, 55);
    return true;
}

bool AppendEightDigits(Program& program, const std::string& letters, const std::string& what,
                       std::int16_t failCode, TransferStep& step) {
    BeginStep(step, program, letters + " (" + what + ")", "8 hex digits");
    if (!AskAscii(program, letters, step)) return false;
    const auto block = HexReply(program, 8);
    if (!block) {
        Fail(program, failCode);
        return false;
    }
    program.setup.text += *block;
    return true;
}

// --- Modbus ---------------------------------------------------------------

std::size_t ReadReplyLength(const Program& program, int count) {
    return 6 + 4 * static_cast<std::size_t>(count) + ModbusCheckLength(program.link);
}

// A read reply: address, function and byte count, then four digits a
// register; the registers land in the image through the register map.
bool ReadBlock(Program& program, const RegisterBlock& block, TransferStep& step) {
    BeginStep(step, program, "the read of " + RegisterRange(block.start, block.count),
              "a read reply of " + std::to_string(block.count) + " registers");
    if (!AskModbus(program, ReadRequest(block), ReadReplyLength(program, block.count), block.failCode, step))
        return false;
    LandBlock(program.setup, block,
              std::string_view(program.x.ModbusReply).substr(6, 4 * static_cast<std::size_t>(block.count)));
    return true;
}

// What the image needs once a block has landed.
void AfterReadBlock(Program& program, const RegisterBlock& block) {
    constexpr const FieldDef& duplex = FieldNamed("Duplex");
    // A family-5 meter's duplex bit is taken as half duplex, whatever the register holds.
    if (program.link.FamilyFiveFlag == 1 && BlockLands(block, duplex.pos)) StoreFieldCode(program.setup, duplex, 1);
    if (BlockLands(block, FieldNamed("ModbusAddr").pos)) MakeBroadcastAddressOne(program.setup);
}

} // namespace

void ShowProgress(Program& program, int percent) { program.platform.op.SetProgress(percent); }

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

TransferStep GetSetupAscii(Program& program) {
    constexpr const FieldDef& family = FieldNamed("Family");
    LinkState& link = program.link;
    TransferStep step;
    ShowProgress(program, 9);
    const bool mainBlock =
        link.EthernetLink == 0 ? GetSerialMainBlock(program, step) : GetEthernetMainBlock(program, step);
    if (!mainBlock) return step;

    if (!AppendEightDigits(program, "X26DZ", "characters 121-128", getstatus::SecondBlock, step)) return step;
    ShowProgress(program, 65);
    if (link.MeterRevision < 7) program.txn.DelayMs(1000);
    // Early family-5 meters do not report this bit though they have the feature.
    if (link.FamilyFiveFlag == 1 && link.MeterRevision < 47)
        program.setup.SetBits(kFamilyFiveFeatureBit, kFamilyFiveFeatureBit, family.pos, 1);
    if (!AppendEightDigits(program, "X236Z", "characters 129-136", getstatus::ThirdBlock, step)) return step;
    ShowProgress(program, 80);

    link.MeterRevision = FieldCode(program.setup, FieldNamed("Revision"));
    link.MeterFamily = FieldCode(program.setup, family);

    // Bit 13 of the word at 45-48 tells the meter that the program has read
    // its setup; written back at once, no reply.
    const std::uint32_t word = HexNumber(program.setup.Mid(FieldNamed("Address").pos, 4)).value_or(0) | 0x2000;
    SendAscii(program, "W112" + Hex(word, 4));
    ShowProgress(program, 100);
    program.txn.DelayMs(1500);
    program.platform.op.SetProgressVisible(false);
    return step;
}

TransferStep GetSetupModbus(Program& program) {
    const int gap = ModbusGap(program.link);
    TransferStep step;
    ShowProgress(program, 6);
    program.platform.op.SetProgressVisible(true);

    // Diagnostics echo: is a Modbus slave at this address at all?
    BeginStep(step, program, "the diagnostics echo (function 08)", "the echo of the request");
    if (!AskModbus(program, "0800010000", 12 + ModbusCheckLength(program.link), getstatus::FirstBlock, step))
        return step;

    for (const RegisterBlock& block : GetBlocks(program.link.EthernetLink != 0)) {
        ShowProgress(program, block.progress);
        program.txn.DelayMs(gap);
        if (!ReadBlock(program, block, step)) return step;
        AfterReadBlock(program, block);
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

GetResult GetSetup(Program& program) {
    GetResult result;
    if (RefuseWhileBusy(program)) {
        result.refused = true;
        return result;
    }
    Operator& op = program.platform.op;
    op.SetBusy(true);
    program.SetupFileLine2 = "0";
    op.SetStatus(kGettingCaption, ColourGreen);
    op.SetProgress(0);
    op.SetProgressVisible(true);
    program.txn.DelayMs(5);

    result.step = program.link.UseModbus != 0 ? GetSetupModbus(program) : GetSetupAscii(program);
    result.status = program.x.TransferStatus;
    result.linkStatus = result.step.linkStatus;
    if (result.status != status::Ok) {
        program.SetupReceived = 0;
        op.SetStatus(GetFailureCaption(result.status), ColourRed);
    } else {
        program.SetupReceived = 1;
        op.SetStatus(kGetOkCaption, ColourGreen);
        result.enableMenus = true;
        result.endProgram = CheckSCAfterGet(program) == SCCheck::EndProgram;
        op.SetProgressVisible(false);
    }
    op.SetBusy(false);
    return result;
}

} // namespace wm
