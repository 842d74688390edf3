#pragma once
// One simulated weight meter: its setup image, signal conditioner
// identification, readings and continuous output, seen through Custom ASCII,
// Modbus RTU and Modbus ASCII. Every protocol reads and writes the same
// state, so a Put in one protocol followed by a Get in any other returns
// what was put. The meter knows nothing of time or ports: it is handed one
// complete request at a time and answers with the bytes to send and the
// pauses before them (MeterSession and SimPort do the timing).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/Fault.h"
#include "sim/SimFraming.h"

namespace wm::sim {

// How one request travelled.
enum class Framing { CustomAscii, ModbusRtu, ModbusAscii };

// Which framing the meter expects. Auto tells by the first byte of each
// request: "*" Custom ASCII, ":" Modbus ASCII, anything else Modbus RTU (so
// an RTU request to slave 42 or 58 needs a fixed choice). FromSetup follows
// the protocol field of the meter's own setup, as the real meter does.
enum class Protocol { Auto, CustomAscii, ModbusRtu, ModbusAscii, FromSetup };

struct Frame {
    Framing framing = Framing::CustomAscii;
    std::string bytes;
    std::uint64_t startUs = 0; // first byte
    std::uint64_t endUs = 0; // last byte
};

// Part of a reply: bytes that start pauseUs after the previous part has left
// (the first part: after the request was recognised).
struct ReplyPiece {
    std::uint64_t pauseUs = 0;
    std::string bytes;
};
using Reply = std::vector<ReplyPiece>;

struct LogEntry {
    std::uint64_t startUs = 0, endUs = 0;
    Framing framing = Framing::CustomAscii;
    std::string bytes; // the request as received, framing included
    std::string key; // the key faults match ("B3", "030045"); empty if unreadable
    bool addressed = false; // for this meter (or a Modbus broadcast)
    std::string reply; // everything sent back, after any fault
    std::string note; // why nothing or something unusual happened
};

// Readings in counts (the display digits without their point).
struct Readings {
    std::int32_t input = 0;
    std::int32_t net = 1234;
    std::int32_t gross = 1234;
    std::int32_t peak = 1500;
};

// How the weight moves from one reading to the next. Steady keeps the
// readings as they are set; Ramp makes the gross climb by `step` with every
// reading, from `low`, starting again at `low` once it would pass `high`;
// Noisy holds the gross at `centre` off by up to the board's noise
// (CalibBoard::noiseCounts) either way, pseudo-random and the same on every
// run. With Ramp and Noisy the net follows the gross less the tare and the
// peak keeps the highest reading of its source.
enum class Motion { Steady, Ramp, Noisy };

struct ReadingsMotion {
    Motion kind = Motion::Steady;
    std::int32_t low = 0, high = 1000, step = 1;
    std::int32_t centre = 1234;
    std::uint64_t taken = 0; // readings taken so far
};

struct Behaviour {
    Protocol protocol = Protocol::Auto;
    bool echo = false; // send back every byte as it arrives
    std::uint32_t replyDelayMs = 10; // the meter's think time before a reply
    // Continuous output: time from one record's start to the next; 0 takes
    // it from the output-rate field of the setup.
    std::uint32_t recordIntervalMs = 0;
};

// The signal conditioner as its calibration sees it. The board keeps 16-bit
// words in its non-volatile memory ("X1" + address reads one, "W1" +
// address + word writes it): among them a gain word per range and a zero
// word, and the display's scale factor multiplies every reading. With an
// input applied at the terminals, the input reading ("B1") follows that
// input, the selected range, its words and the scale factor, with a little
// noise; with none it shows Readings::input as it always has.
struct CalibBoard {
    std::map<int, std::uint16_t> words; // by address; an address never written reads 0000
    // The input at the terminals as a fraction of the range's calibration
    // input (1: the input the calibration asks for, -1 the same reversed, 0
    // none). Unset: "B1" shows Readings::input.
    std::optional<double> appliedInput;
    // Asked at every "B1" when set; its answer, when it has one, replaces
    // appliedInput (wmsim reads a file the tester rewrites).
    std::function<std::optional<double>()> inputSource;
    int scaleFactor = 1;     // 1-10, set by "W305..."; its last digit, "A" for 10
    int noiseCounts = 2;     // every reading is off by up to this many counts either way
    std::uint32_t noiseState = 12345; // the noise is pseudo-random, the same on every run
};

// Commands the meter has carried out, for tests of commands that get no reply.
struct ResetCounts {
    int meter = 0, function = 0, latchedAlarms = 0, peak = 0, tare = 0;
};

class Meter {
public:
    Meter();

    // --- state ---
    // The setup, 136 upper-case hex digits. SetImage refuses (false, nothing
    // changed) a text that is not 136 hex digits.
    [[nodiscard]] const std::string& Image() const { return image_; }
    [[nodiscard]] bool SetImage(const std::string& text);
    [[nodiscard]] std::string Mid(int pos, int len) const;
    [[nodiscard]] int ByteAt(int pos) const;

    // The signal conditioner's type code (image 35-36) and stored
    // input-mode/range byte (image 55-56), two hex digits each.
    [[nodiscard]] std::string ScType() const { return Mid(35, 2); }
    bool SetScType(const std::string& code);
    [[nodiscard]] std::string RangeByte() const { return Mid(55, 2); }
    bool SetRangeByte(const std::string& code);
    // The bytes that come before the type and range in the board's
    // identification replies ("X115", "X110").
    std::string scIdentByte = "00";
    std::string scFlagByte = "00";

    // The Custom ASCII address the meter answers to ("0".."9", "A".."V",
    // from bits 0-4 of image byte 45) and its Modbus slave address (image
    // 135-136; a stored 0 answers as 1). The setters write the image.
    [[nodiscard]] char MeterAddress() const { return address_; }
    bool SetMeterAddress(char address);
    [[nodiscard]] int ModbusAddress() const;
    bool SetModbusAddress(int address);

    Readings readings;
    ReadingsMotion motion;
    Behaviour behaviour;
    CalibBoard calib;
    [[nodiscard]] std::uint16_t CalibWord(int address) const;
    void SetCalibWord(int address, std::uint16_t word) { calib.words[address] = word; }
    // The input reading as "B1" would give it now, before the display's
    // formatting (and without advancing the noise when noise is off).
    [[nodiscard]] std::int32_t InputReading();
    [[nodiscard]] const ResetCounts& Resets() const { return resets_; }
    [[nodiscard]] bool OutputRunning() const { return output_; }
    void SetOutputRunning(bool on) { output_ = on; }

    // --- misbehaviour ---
    void AddFault(Fault fault) { faults_.push_back(std::move(fault)); }
    void ClearFaults() { faults_.clear(); }
    [[nodiscard]] const std::vector<Fault>& Faults() const { return faults_; }

    // --- what it heard ---
    [[nodiscard]] const std::vector<LogEntry>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    // Told of every complete request as it is logged, before its reply goes
    // out: lets a test act on the line (pull the cable, start noise) at the
    // moment a given request arrives.
    std::function<void(const LogEntry&)> heard;

    // --- protocol ---
    [[nodiscard]] Framing FramingFor(char firstByte) const;
    // Answers one complete request (and logs it).
    [[nodiscard]] Reply Handle(const Frame& frame);
    // A new reading: the readings move as `motion` says. Every record of the
    // continuous output and every reading request ("B2", "B3", "B4") takes one.
    void TakeReading();
    // One record of the continuous output: a new reading framed as the setup says.
    [[nodiscard]] std::string NextRecord();
    // From one record's start to the next; 0: back to back at line rate.
    [[nodiscard]] std::uint64_t RecordIntervalUs() const;
    // A reading as the meter prints it: sign, five digits, the display's
    // decimal point ("+012.34", "-00005").
    [[nodiscard]] std::string FormatReading(std::int32_t counts) const;

private:
    Reply HandleAscii(const Frame& frame, LogEntry& entry);
    Reply HandleModbus(const Frame& frame, LogEntry& entry);
    std::string AsciiCommand(const std::string& code, bool& understood);
    bool AsciiWrite(const std::string& code);
    bool CalibWrite(const std::string& code);
    std::string CalibRead(const std::string& code, bool& handled) const;
    std::string IdentBlock() const;
    std::int32_t Noise();
    std::string ModbusPdu(const std::string& pdu);
    std::string ReadRegisters(const std::string& pdu, bool holding);
    std::string WriteRegisters(const std::string& pdu);
    std::string WriteRegister(const std::string& pdu);
    std::string WriteCoil(const std::string& pdu);
    std::string Diagnostics(const std::string& pdu);
    std::uint16_t InputRegister(std::uint16_t reg) const;
    void StoreRegisters(const std::string& pdu, std::uint16_t start, std::uint16_t count, std::size_t at);
    FaultSet TakeFaults(const std::string& key);
    Reply Shape(std::string bytes, const FaultSet& faults) const;
    void SetByte(int pos, int value);
    void MatchTypeToRange();
    void TareChanged();
    void PeakReset();
    char AddressFromImage() const;

    std::string image_;
    char address_ = '0';
    bool output_ = false;
    ResetCounts resets_;
    std::vector<Fault> faults_;
    std::vector<LogEntry> log_;
};

} // namespace wm::sim
