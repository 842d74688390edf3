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
bool GetSerialMainBlock(Program& program) {
    // Continuous output would mix records into the replies: stop it first.
    // The run of asterisks makes sure the meter sees a request start even
    // if it is in the middle of sending.
    program.x.TxCommand = std::string(13, '*') + program.link.MeterAddress + "A1";
    program.txn.SendCommand();
    program.txn.DelayMs(200);

    if (!AskAscii(program, "XU1DZ")) return false;
    const auto main = HexReply(program, 120);
    if (!main) {
        Fail(program, getstatus::FirstBlock);
        return false;
    }
    program.setup.text = *main;
    ShowProgress(program, 25);

    if (program.link.MeterRevision < 7) program.txn.DelayMs(1000); // older meters are slow to answer again
    SendAscii(program, "G130");
    program.txn.ReceiveReply();
    program.txn.DelaySeconds(0.3f);
    if (Status(program) != status::Ok) return false;
    const std::string boards = UpperCase(program.x.RxReply.substr(0, 2));
    if (IsHexText(boards)) program.setup.Put(49, boards);
    ShowProgress(program, 42);
    return true;
}

// Through the node the main block comes in two halves, second half first.
bool GetEthernetMainBlock(Program& program) {
    if (!AskAscii(program, "XF0EZ")) return false;
    const auto back = HexReply(program, 60);
    if (!back) {
        Fail(program, getstatus::FirstBlock);
        return false;
    }
    program.setup.text = *back;
    ShowProgress(program, 50);

    if (!AskAscii(program, "XF1DZ")) return false;
    const auto front = HexReply(program, 60);
    if (!front) {
        Fail(program, getstatus::SecondBlock);
        return false;
    }
    program.setup.text = *front + program.setup.text;
    ShowProgress(program, 55);
    return true;
}

bool AppendEightDigits(Program& program, const std::string& letters, std::int16_t failCode) {
    if (!AskAscii(program, letters)) return false;
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

bool ReadBlock(Program& program, int start, int count, std::int16_t failCode) {
    if (!AskModbus(program, ReadRequest(start, count), ReadReplyLength(program, count), failCode))
        return false;
    Land(program, start, count);
    return true;
}

bool ReadFirstBlock(Program& program) {
    if (!ReadBlock(program, 0x01, 12, getstatus::FirstBlock)) return false;
    const auto scale = HexNumber(std::string_view(program.x.ModbusReply).substr(38, 8)); // 0009-000A
    if (scale) program.setup.Put(103, ScaledFieldFromRegisters(*scale));
    return true;
}

bool ReadBlocksFrom0011(Program& program, int gap) {
    program.txn.DelayMs(gap);
    // On the serial line 28 registers come in one reply of 122 characters.
    if (program.link.EthernetLink == 0) return ReadBlock(program, 0x11, 28, getstatus::SecondBlock);
    // The node's buffer holds fewer registers: two requests.
    if (!ReadBlock(program, 0x11, 10, getstatus::ThirdBlock)) return false;
    ShowProgress(program, 59);
    program.txn.DelayMs(gap);
    return ReadBlock(program, 0x21, 12, getstatus::BlockAt0021);
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

void GetSetupAscii(Program& program) {
    LinkState& link = program.link;
    ShowProgress(program, 9);
    const bool mainBlock =
        link.EthernetLink == 0 ? GetSerialMainBlock(program) : GetEthernetMainBlock(program);
    if (!mainBlock) return;

    if (!AppendEightDigits(program, "X26DZ", getstatus::SecondBlock)) return;
    ShowProgress(program, 65);
    if (link.MeterRevision < 7) program.txn.DelayMs(1000);
    // Early family-5 meters do not report this bit though they have the feature.
    if (link.FamilyFiveFlag == 1 && link.MeterRevision < 47) program.setup.SetBits(6, 6, 123, 1);
    if (!AppendEightDigits(program, "X236Z", getstatus::ThirdBlock)) return;
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
}

void GetSetupModbus(Program& program) {
    const int gap = ModbusGap(program.link);
    ShowProgress(program, 6);
    program.platform.op.SetProgressVisible(true);

    // Diagnostics echo: is a Modbus slave at this address at all?
    if (!AskModbus(program, "0800010000", 12 + ModbusCheckLength(program.link), getstatus::FirstBlock))
        return;
    ShowProgress(program, 20);

    program.txn.DelayMs(gap);
    if (!ReadFirstBlock(program)) return;
    ShowProgress(program, 46);

    if (!ReadBlocksFrom0011(program, gap)) return;

    ShowProgress(program, 72);
    program.txn.DelayMs(gap);
    if (!ReadBlock(program, 0x41, 11, getstatus::BlockAt0041)) return;
    if (program.link.FamilyFiveFlag == 1) program.setup.SetBits(6, 6, 9, 1);

    ShowProgress(program, 85);
    program.txn.DelayMs(gap);
    if (!ReadBlock(program, 0x4C, 12, getstatus::BlockAt004C)) return;

    ShowProgress(program, 100);
    program.txn.DelayMs(gap);
    if (!ReadBlock(program, 0x5D, 12, getstatus::BlockAt005D)) return;
    if (program.setup.Mid(135, 2) == "00") program.setup.Put(135, "01"); // slave address 0 is broadcast
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

    if (program.link.UseModbus != 0) {
        GetSetupModbus(program);
    } else {
        GetSetupAscii(program);
    }

    result.status = program.x.TransferStatus;
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
