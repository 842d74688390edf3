#include "sim/SimOptions.h"

#include <array>
#include <charconv>
#include <fstream>
#include <sstream>

#include "comm/TrafficLog.h"

namespace wm::sim {
namespace {

constexpr std::array<int, 10> Bauds = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

template <typename T> bool ParseNumber(const std::string& text, T& out, T min, T max) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) return false;
    out = value;
    return true;
}

// "CMD:N" -> CMD and N; the key itself never holds a colon.
bool SplitLast(const std::string& text, std::string& head, std::string& tail) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    head = text.substr(0, colon);
    tail = text.substr(colon + 1);
    return true;
}

const char* FramingName(Framing f) {
    switch (f) {
    case Framing::CustomAscii: return "ascii";
    case Framing::ModbusRtu: return "rtu";
    case Framing::ModbusAscii: return "mascii";
    }
    return "?";
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParsedSimOptions Run() {
        for (i_ = 0; i_ < args_.size() && result_.error.empty(); ++i_)
            One(args_[i_]);
        return result_;
    }

private:
    void Fail(const std::string& why) {
        if (result_.error.empty()) result_.error = why;
    }

    // The value of the option at i_: "--x=v" or "--x v".
    std::optional<std::string> Value(const std::string& name, const std::string& arg) {
        if (arg.size() > name.size() && arg[name.size()] == '=') return arg.substr(name.size() + 1);
        if (i_ + 1 < args_.size()) return args_[++i_];
        Fail(name + " needs a value");
        return std::nullopt;
    }

    void One(const std::string& arg) {
        const std::string name = arg.substr(0, arg.find('='));
        SimOptions& o = result_.options;
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--echo") {
            o.echo = true;
        } else if (name == "--baud") {
            Baud(Value(name, arg));
        } else if (name == "--parity") {
            Parity(Value(name, arg));
        } else if (name == "--protocol") {
            ProtocolName(Value(name, arg));
        } else if (name == "--address") {
            Address(Value(name, arg));
        } else if (name == "--modbus-address") {
            Number(Value(name, arg), name, 1, 247, [&](int v) { o.modbusAddress = v; });
        } else if (name == "--delay") {
            Number(Value(name, arg), name, 0, 60000,
                   [&](int v) { o.delayMs = static_cast<std::uint32_t>(v); });
        } else if (name == "--record-ms") {
            Number(Value(name, arg), name, 1, 60000,
                   [&](int v) { o.recordMs = static_cast<std::uint32_t>(v); });
        } else if (name == "--log") {
            if (auto v = Value(name, arg)) o.logFile = *v;
        } else if (name == "--setup") {
            if (auto v = Value(name, arg)) o.setupFile = *v;
        } else if (name == "--input") {
            AppliedInput(Value(name, arg));
        } else if (name == "--input-file") {
            if (auto v = Value(name, arg)) o.inputFile = *v;
        } else if (name == "--noise") {
            Number(Value(name, arg), name, 0, 1000, [&](int v) { o.noiseCounts = v; });
        } else if (name == "--calib-word") {
            CalibWord(Value(name, arg));
        } else if (name.starts_with("--node")) {
            NodeOption(name, arg);
        } else if (name == "--readings") {
            Readings(Value(name, arg));
        } else if (name == "--ramp") {
            Ramp(Value(name, arg));
        } else if (name == "--seed") {
            Seed(Value(name, arg));
        } else {
            FaultOption(name, arg);
        }
    }

    void NodeOption(const std::string& name, const std::string& arg) {
        SimOptions& o = result_.options;
        NodeOptions& n = o.node;
        if (name == "--node") {
            if (auto v = Value(name, arg)) Dotted(*v, name, o.nodeAddress);
        } else if (name == "--node-stranger") {
            if (auto v = Value(name, arg)) Dotted(*v, name, o.strangerAddress);
        } else if (name == "--node-mac") {
            const std::optional<std::string> v = Value(name, arg);
            if (v && IsHexOfLength(*v, 12)) {
                n.hardware = UpperCase(*v);
            } else if (v) {
                Fail("--node-mac takes twelve hex digits, not \"" + *v + "\"");
            }
        } else if (name == "--node-no-call") {
            n.callBack = false;
        } else if (name == "--node-call-delay") {
            Number(Value(name, arg), name, 0, 60000, [&](int v) { n.callDelayMs = static_cast<std::uint32_t>(v); });
        } else if (name == "--node-notify") {
            n.notifyOnCall = true;
        } else if (name == "--node-notify-replies") {
            n.notifyBeforeReplies = true;
        } else if (name == "--node-wrong-id") {
            n.wrongTransaction = true;
        } else if (name == "--node-drop-after") {
            Number(Value(name, arg), name, 1, 100000, [&](int v) { n.dropAfter = v; });
        } else {
            Fail("unknown option " + arg);
        }
    }

    // An IPv4 address in dotted form, as the node's socket takes it.
    void Dotted(const std::string& v, const std::string& name, std::string& out) {
        int parts = 0;
        std::size_t at = 0;
        bool ok = true;
        while (ok && parts < 4) {
            const std::size_t end = parts < 3 ? v.find('.', at) : v.size();
            int n = 0;
            ok = end != std::string::npos && ParseNumber(v.substr(at, end - at), n, 0, 255);
            at = end + 1;
            ++parts;
        }
        if (!ok) {
            Fail(name + " takes an IPv4 address such as 127.0.0.2, not \"" + v + "\"");
            return;
        }
        out = v;
    }

    void FaultOption(const std::string& name, const std::string& arg) {
        std::vector<Fault>& f = result_.options.faults;
        if (name == "--silent") {
            if (auto v = Value(name, arg)) f.push_back(Fault::Silent(*v));
        } else if (name == "--corrupt") {
            if (auto v = Value(name, arg)) f.push_back(Fault::Corrupt(*v));
        } else if (name == "--truncate") {
            WithNumber(name, arg, 0, 100000, [&](const std::string& key, int n) {
                f.push_back(Fault::Truncate(key, static_cast<std::size_t>(n)));
            });
        } else if (name == "--late") {
            WithNumber(name, arg, 0, 600000, [&](const std::string& key, int n) {
                f.push_back(Fault::Late(key, static_cast<std::uint32_t>(n)));
            });
        } else if (name == "--exception") {
            WithNumber(name, arg, 1, 255, [&](const std::string& key, int n) {
                f.push_back(Fault::Exception(key, static_cast<std::uint8_t>(n)));
            });
        } else if (name == "--split") {
            Split(name, arg);
        } else {
            Fail("unknown option " + arg);
        }
    }

    template <typename F>
    void Number(const std::optional<std::string>& v, const std::string& name, int min, int max, F store) {
        if (!v) return;
        int n = 0;
        if (!ParseNumber(*v, n, min, max)) {
            Fail(name + " takes a number from " + std::to_string(min) + " to " + std::to_string(max) +
                 ", not \"" + *v + "\"");
            return;
        }
        store(n);
    }

    template <typename F>
    void WithNumber(const std::string& name, const std::string& arg, int min, int max, F store) {
        const std::optional<std::string> v = Value(name, arg);
        if (!v) return;
        std::string key, tail;
        int n = 0;
        if (!SplitLast(*v, key, tail) || !ParseNumber(tail, n, min, max)) {
            Fail(name + " takes CMD:N with N from " + std::to_string(min) + " to " + std::to_string(max) +
                 ", not \"" + *v + "\"");
            return;
        }
        store(key, n);
    }

    void Split(const std::string& name, const std::string& arg) {
        const std::optional<std::string> v = Value(name, arg);
        if (!v) return;
        std::string head, ms, key, chars;
        int n = 0, pause = 0;
        if (!SplitLast(*v, head, ms) || !SplitLast(head, key, chars) || !ParseNumber(chars, n, 1, 100000) ||
            !ParseNumber(ms, pause, 0, 600000)) {
            Fail(name + " takes CMD:N:MS, not \"" + *v + "\"");
            return;
        }
        result_.options.faults.push_back(
            Fault::Split(key, static_cast<std::size_t>(n), static_cast<std::uint32_t>(pause)));
    }

    void AppliedInput(const std::optional<std::string>& v) {
        if (!v) return;
        const std::optional<double> input = ParseAppliedInput(*v);
        if (!input) {
            Fail("--input takes a number from -2 to 2 (1: the calibration input), not \"" + *v + "\"");
            return;
        }
        result_.options.appliedInput = input;
    }

    void CalibWord(const std::optional<std::string>& v) {
        if (!v) return;
        std::string address, word;
        if (!SplitLast(*v, address, word) || !IsHexOfLength(address, 2) || !IsHexOfLength(word, 4)) {
            Fail("--calib-word takes AA:WWWW (address and word in hex), not \"" + *v + "\"");
            return;
        }
        const std::optional<std::string> a = Unhex(address), w = Unhex(word);
        result_.options.calibWords.emplace_back(
            static_cast<std::uint8_t>((*a)[0]),
            static_cast<std::uint16_t>(static_cast<std::uint8_t>((*w)[0]) << 8 | static_cast<std::uint8_t>((*w)[1])));
    }

    void Readings(const std::optional<std::string>& v) {
        if (!v) return;
        std::optional<Motion>& m = result_.options.readings;
        if (*v == "steady")
            m = Motion::Steady;
        else if (*v == "ramp")
            m = Motion::Ramp;
        else if (*v == "noisy")
            m = Motion::Noisy;
        else
            Fail("--readings takes steady, ramp or noisy, not \"" + *v + "\"");
    }

    // LOW:HIGH:STEP, the range within the display's five digits.
    void Ramp(const std::optional<std::string>& v) {
        if (!v) return;
        std::string head, step, low, high;
        ReadingsMotion r;
        if (!SplitLast(*v, head, step) || !SplitLast(head, low, high) ||
            !ParseNumber(low, r.low, -99999, 99999) || !ParseNumber(high, r.high, r.low + 1, 99999) ||
            !ParseNumber(step, r.step, 1, 99999)) {
            Fail("--ramp takes LOW:HIGH:STEP with -99999 <= LOW < HIGH <= 99999 and STEP from 1 to 99999, not \"" +
                 *v + "\"");
            return;
        }
        result_.options.ramp = r;
    }

    void Seed(const std::optional<std::string>& v) {
        if (!v) return;
        std::uint32_t seed = 0;
        if (!ParseNumber(*v, seed, std::uint32_t{0}, std::uint32_t{4294967295U})) {
            Fail("--seed takes a whole number from 0 to 4294967295, not \"" + *v + "\"");
            return;
        }
        result_.options.seed = seed;
    }

    void Baud(const std::optional<std::string>& v) {
        if (!v) return;
        int n = 0;
        for (int b : Bauds) {
            if (ParseNumber(*v, n, 1, 1000000) && n == b) {
                result_.options.baud = b;
                return;
            }
        }
        Fail("--baud takes 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200, not \"" + *v +
             "\"");
    }

    void Parity(const std::optional<std::string>& v) {
        if (!v) return;
        if (*v == "n" || *v == "none" || *v == "o" || *v == "odd" || *v == "e" || *v == "even") {
            result_.options.parity = (*v)[0];
            return;
        }
        Fail("--parity takes none, odd or even (n, o, e), not \"" + *v + "\"");
    }

    void ProtocolName(const std::optional<std::string>& v) {
        if (!v) return;
        Protocol& p = result_.options.protocol;
        if (*v == "auto")
            p = Protocol::Auto;
        else if (*v == "ascii")
            p = Protocol::CustomAscii;
        else if (*v == "rtu")
            p = Protocol::ModbusRtu;
        else if (*v == "mascii")
            p = Protocol::ModbusAscii;
        else if (*v == "setup")
            p = Protocol::FromSetup;
        else
            Fail("--protocol takes auto, ascii, rtu, mascii or setup, not \"" + *v + "\"");
    }

    void Address(const std::optional<std::string>& v) {
        if (!v) return;
        Meter probe;
        if (v->size() != 1 || !probe.SetMeterAddress((*v)[0])) {
            Fail("--address takes one character 0-9 or A-V, not \"" + *v + "\"");
            return;
        }
        result_.options.address = (*v)[0];
    }

    const std::vector<std::string>& args_;
    std::size_t i_ = 0;
    ParsedSimOptions result_;
};

} // namespace

std::optional<double> ParseAppliedInput(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin; // from_chars takes no plus sign
    double value = 0;
    const auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop != end || !(value >= -2.0 && value <= 2.0)) return std::nullopt;
    return value;
}

ParsedSimOptions ParseSimOptions(const std::vector<std::string>& args) { return Parser(args).Run(); }

std::string SimUsage() {
    return "Usage: wmsim [options]\n"
           "A simulated weight meter on a pseudo-terminal. The first line written is the\n"
           "device to open (for example /dev/pts/5); the meter serves it until SIGTERM or\n"
           "SIGINT.\n"
           "\n"
           "  --baud N              line speed for pacing the replies (default 9600)\n"
           "  --parity P            none, odd or even: the Modbus parity (default none)\n"
           "                        Requests the program sends at another baud rate or\n"
           "                        (with a fixed protocol) in another character frame\n"
           "                        are not heard, as by the meter; on the pseudo-terminal\n"
           "                        the frame shows only its stop bits, so odd and even\n"
           "                        parity look the same there\n"
           "  --protocol P          auto (by first byte: * Custom ASCII, : Modbus ASCII,\n"
           "                        else Modbus RTU), ascii, rtu, mascii, or setup (as the\n"
           "                        meter's own setup says); default auto\n"
           "  --address C           Custom ASCII meter address, 0-9 or A-V\n"
           "  --modbus-address N    Modbus slave address, 1-247\n"
           "  --setup FILE          start from the first line of a setup file\n"
           "  --echo                send back every byte received (a line that echoes)\n"
           "  --delay MS            think time before each reply (default 10)\n"
           "  --record-ms MS        continuous output: time between records (default:\n"
           "                        the setup's output rate; its line rate sends them back\n"
           "                        to back). At exit, and at SIGUSR1, wmsim says on\n"
           "                        standard error how many records it has sent\n"
           "  --log FILE            write every request and reply, with times, to FILE (the traffic format)\n"
           "\n"
           "Readings (the continuous output and the reading requests B2, B3, B4):\n"
           "  --readings MODE       steady: gross and net 1234, peak 1500 (the default);\n"
           "                        ramp: the gross climbs by a step with every reading\n"
           "                        from the low end of a range, and starts again there\n"
           "                        once it would pass the high end; noisy: gross 1234\n"
           "                        off by up to --noise counts either way. The net\n"
           "                        follows the gross less the tare, the peak keeps the\n"
           "                        highest reading\n"
           "  --ramp LOW:HIGH:STEP  the ramp's range and step in counts (default 0:1000:1)\n"
           "  --seed N              start of the noise's pseudo-random sequence (default\n"
           "                        12345): the same seed gives the same readings every run\n"
           "\n"
           "Calibration of the signal conditioner:\n"
           "  --input X             input at the terminals, as a fraction of the selected\n"
           "                        range's calibration input (1, -1, 0; -2 to 2); without\n"
           "                        it the input reading is the fixed simulated value\n"
           "  --input-file FILE     read X from FILE at every input reading, so a test can\n"
           "                        change the input while the meter runs\n"
           "  --noise N             readings off by up to N counts either way (default 2):\n"
           "                        the input reading, and the weight with --readings noisy\n"
           "  --calib-word AA:WWWW  store word WWWW at calibration address AA (hex)\n"
           "\n"
           "Misbehaviour, per command. CMD is a Custom ASCII command code or its start\n"
           "(B3, XU1DZ, W) or a Modbus function and start register in hex (03, 030045):\n"
           "  --silent CMD          do not answer (nor act)\n"
           "  --truncate CMD:N      send only the first N characters of the reply\n"
           "  --corrupt CMD         break the CRC/LRC (Custom ASCII: change a character)\n"
           "  --late CMD:MS         answer MS milliseconds late\n"
           "  --split CMD:N:MS      pause MS milliseconds after N characters\n"
           "  --exception CMD:CODE  answer with Modbus exception CODE\n"
           "\n"
           "The Ethernet node (the meter is then reached through it as well):\n"
           "  --node ADDR           be the serial-to-Ethernet node on UDP ADDR:63179 (for\n"
           "                        example 127.0.0.2; the port is shared, so the program\n"
           "                        can bind it too): check each control packet, call the\n"
           "                        sender back on the port it names, from ADDR, and serve\n"
           "                        the meter there in Custom ASCII or Modbus TCP\n"
           "  --node-mac HEX12      the node's hardware address (default 020000123456)\n"
           "  --node-no-call        take control packets but never call back\n"
           "  --node-call-delay MS  call back MS milliseconds after the control packet\n"
           "  --node-notify         send a node notification once the connection stands\n"
           "  --node-notify-replies send a node notification ahead of every reply\n"
           "  --node-wrong-id       Modbus TCP replies carry a wrong transaction identifier\n"
           "  --node-drop-after N   drop the connection after N requests\n"
           "  --node-stranger ADDR  before calling back, connect from ADDR and log whether\n"
           "                        the program closes that connection\n"
           "  The log (--log) also gets the node's events: control packets, the call,\n"
           "  requests, replies, and every keep-alive with its time.\n"
           "  --help                this text\n";
}

bool ApplySimOptions(const SimOptions& options, Meter& meter, std::string& problem) {
    if (!options.setupFile.empty()) {
        std::ifstream in(options.setupFile, std::ios::binary);
        std::string line;
        if (!in || !std::getline(in, line)) {
            problem = "Cannot read the setup file " + options.setupFile + ".";
            return false;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 136) line.resize(136);
        std::string image = meter.Image();
        image.replace(0, line.size(), line);
        if (line.empty() || !meter.SetImage(image)) {
            problem = "The first line of " + options.setupFile + " is not a setup (hex digits expected).";
            return false;
        }
    }
    if (options.address) meter.SetMeterAddress(*options.address);
    if (options.modbusAddress) meter.SetModbusAddress(*options.modbusAddress);
    meter.behaviour.protocol = options.protocol;
    meter.behaviour.echo = options.echo;
    if (options.delayMs) meter.behaviour.replyDelayMs = *options.delayMs;
    if (options.recordMs) meter.behaviour.recordIntervalMs = *options.recordMs;
    for (const Fault& f : options.faults)
        meter.AddFault(f);
    if (options.appliedInput) meter.calib.appliedInput = options.appliedInput;
    if (options.noiseCounts) meter.calib.noiseCounts = *options.noiseCounts;
    for (const auto& [address, word] : options.calibWords)
        meter.SetCalibWord(address, word);
    if (options.ramp) {
        meter.motion.low = options.ramp->low;
        meter.motion.high = options.ramp->high;
        meter.motion.step = options.ramp->step;
    }
    if (options.readings) meter.motion.kind = *options.readings;
    if (options.seed) meter.calib.noiseState = *options.seed;
    if (!options.inputFile.empty()) {
        // A file that is missing or holds no number leaves the input as it was.
        meter.calib.inputSource = [file = options.inputFile]() -> std::optional<double> {
            std::ifstream in(file, std::ios::binary);
            std::string text;
            if (!in || !std::getline(in, text)) return std::nullopt;
            return ParseAppliedInput(text);
        };
    }
    return true;
}

std::string FormatLogEntry(const LogEntry& entry) {
    std::string facts = std::string(FramingName(entry.framing)) + ' ' + (entry.key.empty() ? "-" : entry.key) + ' ' +
                        (entry.addressed ? "heard" : "ignored");
    if (!entry.note.empty()) facts += " (" + entry.note + ')';
    TrafficLine heard;
    heard.kind = TrafficLine::Kind::Rx;
    heard.timeUs = entry.endUs;
    heard.fine = true;
    heard.bytes = entry.bytes;
    heard.note = facts;
    std::string lines = FormatTrafficLine(heard);
    if (!entry.reply.empty()) {
        TrafficLine reply = heard;
        reply.kind = TrafficLine::Kind::Tx;
        reply.bytes = entry.reply;
        reply.note.clear();
        lines += '\n' + FormatTrafficLine(reply);
    }
    return lines;
}

} // namespace wm::sim
