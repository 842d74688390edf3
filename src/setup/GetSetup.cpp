#include "setup/GetSetup.h"

#include <array>

#include "app/Program.h"
#include "app/Tables.h"
#include "sc/SigCond.h"
#include "setup/TransferSteps.h"

namespace wm {

namespace {

std::int16_t& Status(Program& program) { return program.x.TransferStatus; }

void Fail(Program& program, std::int16_t code) { Status(program) = code; }

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
        program.setup.Put(49, UpperCase(reply.substr(0, 2)));
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

// Where a register's value lands in the image: its low byte (two
// characters), or for a pair the low byte of the register and the whole of
// the next one (six characters, a numeric field).
struct Landing {
    int reg;
    int imagePos;
    bool pair;
};

// clang-format off
constexpr std::array<Landing, 35> kLandings = {{
    // 0001-000C (0009-000A, the scale, is decoded on its own)
    {0x01, 115, true}, {0x03, 109, true}, {0x0B, 97, true},
    // 0011-001A
    {0x11, 91, true}, {0x13, 85, true}, {0x15, 79, true}, {0x17, 73, true}, {0x19, 1, true},
    // 0021-002C
    {0x21, 27, true}, {0x23, 21, true}, {0x29, 67, true}, {0x2B, 61, true},
    // 0041-004B
    {0x41, 59, false}, {0x42, 57, false}, {0x45, 55, false}, {0x46, 53, false}, {0x47, 51, false},
    {0x48, 49, false}, {0x49, 47, false}, {0x4A, 45, false}, {0x4B, 9, false},
    // 004C-0057
    {0x4C, 133, false}, {0x4D, 33, false}, {0x4E, 43, false}, {0x4F, 41, false}, {0x51, 11, false},
    {0x52, 37, false}, {0x57, 39, false},
    // 005D-0068
    {0x5D, 127, false}, {0x5E, 125, false}, {0x5F, 135, false}, {0x64, 131, false}, {0x65, 123, false},
    {0x66, 121, false}, {0x68, 35, false},
}};
// clang-format on

// The read request for `count` registers from `start`, and the length its
// reply must have: address, function, byte count, four digits a register.
std::string ReadRequest(int start, int count) {
    return "03" + Hex(static_cast<std::uint32_t>(start), 4) + Hex(static_cast<std::uint32_t>(count), 4);
}

std::size_t ReadReplyLength(const Program& program, int count) {
    return 6 + 4 * static_cast<std::size_t>(count) + ModbusCheckLength(program.link);
}

// In a read reply register k of the block starts at character 7 + 4k, its
// low byte at 9 + 4k.
void Land(Program& program, int start, int count) {
    const std::string& reply = program.x.ModbusReply;
    for (const Landing& l : kLandings) {
        if (l.reg < start || l.reg >= start + count) continue;
        const std::size_t low = 8 + 4 * static_cast<std::size_t>(l.reg - start);
        program.setup.Put(l.imagePos, reply.substr(low, l.pair ? 6 : 2));
    }
}

bool ReadBlock(Program& program, int start, int count, std::int16_t failCode, TransferStep& step) {
    BeginStep(step, program, "the read of " + RegisterRange(start, count),
              "a read reply of " + std::to_string(count) + " registers");
    if (!AskModbus(program, ReadRequest(start, count), ReadReplyLength(program, count), failCode, step))
        return false;
    Land(program, start, count);
    return true;
}

bool ReadFirstBlock(Program& program, TransferStep& step) {
    if (!ReadBlock(program, 0x01, 12, getstatus::FirstBlock, step)) return false;
    const auto scale = HexNumber(std::string_view(program.x.ModbusReply).substr(38, 8)); // 0009-000A
    if (scale) program.setup.Put(103, ScaledFieldFromRegisters(*scale));
    return true;
}

bool ReadBlocksFrom0011(Program& program, int gap, TransferStep& step) {
    program.txn.DelayMs(gap);
    // On the serial line 28 registers come in one reply of 122 characters.
    if (program.link.EthernetLink == 0) return ReadBlock(program, 0x11, 28, getstatus::SecondBlock, step);
    // The node's buffer holds fewer registers: two requests.
    if (!ReadBlock(program, 0x11, 10, getstatus::ThirdBlock, step)) return false;
    ShowProgress(program, 59);
    program.txn.DelayMs(gap);
    return ReadBlock(program, 0x21, 12, getstatus::BlockAt0021, step);
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
    if (link.FamilyFiveFlag == 1 && link.MeterRevision < 47) program.setup.SetBits(6, 6, 123, 1);
    if (!AppendEightDigits(program, "X236Z", "characters 129-136", getstatus::ThirdBlock, step)) return step;
    ShowProgress(program, 80);

    link.MeterRevision = program.setup.GetBits(7, 0, 121);
    link.MeterFamily = program.setup.GetBits(7, 0, 123);

    // Bit 13 of the word at 45-48 tells the meter that the program has read
    // its setup; written back at once, no reply.
    const std::uint32_t word = HexNumber(program.setup.Mid(45, 4)).value_or(0) | 0x2000;
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
    ShowProgress(program, 20);

    program.txn.DelayMs(gap);
    if (!ReadFirstBlock(program, step)) return step;
    ShowProgress(program, 46);

    if (!ReadBlocksFrom0011(program, gap, step)) return step;

    ShowProgress(program, 72);
    program.txn.DelayMs(gap);
    if (!ReadBlock(program, 0x41, 11, getstatus::BlockAt0041, step)) return step;
    if (program.link.FamilyFiveFlag == 1) program.setup.SetBits(6, 6, 9, 1);

    ShowProgress(program, 85);
    program.txn.DelayMs(gap);
    if (!ReadBlock(program, 0x4C, 12, getstatus::BlockAt004C, step)) return step;

    ShowProgress(program, 100);
    program.txn.DelayMs(gap);
    if (!ReadBlock(program, 0x5D, 12, getstatus::BlockAt005D, step)) return step;
    if (program.setup.Mid(135, 2) == "00") program.setup.Put(135, "01"); // slave address 0 is broadcast
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
