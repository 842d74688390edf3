#include "app/SettingsArgs.h"

#include <charconv>

namespace wm {

namespace {

std::optional<int> Number(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

template <class T>
bool Once(std::optional<T>& slot, T value, const std::string& option, std::string& problem) {
    if (slot) {
        problem = option + " is given twice";
        return false;
    }
    slot = std::move(value);
    return true;
}

} // namespace

std::optional<SettingsArgs> ParseSettingsArgs(const std::vector<std::string>& args, std::string& problem) {
    SettingsArgs a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--print") {
            a.print = true;
            continue;
        }
        if (option == "--echo" || option == "--no-echo") {
            if (!Once(a.echo, option == "--echo", "--echo or --no-echo", problem)) return std::nullopt;
            continue;
        }
        const bool known = option == "--comm-port" || option == "--device" || option == "--protocol" ||
                           option == "--baud" || option == "--parity" || option == "--address" ||
                           option == "--modbus-address" || option == "--family" || option == "--revision" ||
                           option == "--node" || option == "--node-mac" || option == "--listen-port";
        if (!known) {
            problem = "settings: unknown argument " + option;
            return std::nullopt;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            problem = option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (option == "--device") {
            ok = Once(a.device, value, option, problem);
        } else if (option == "--node") {
            ok = Once(a.nodeIP, value, option, problem);
        } else if (option == "--node-mac") {
            ok = Once(a.nodeMac, value, option, problem);
        } else if (option == "--protocol") {
            const std::optional<SerialProtocol> protocol =
                value == "ascii"     ? std::optional(SerialProtocol::CustomAscii)
                : value == "rtu"     ? std::optional(SerialProtocol::ModbusRtu)
                : value == "mbascii" ? std::optional(SerialProtocol::ModbusAscii)
                                     : std::nullopt;
            if (!protocol) {
                problem = "--protocol needs ascii, rtu or mbascii";
                return std::nullopt;
            }
            ok = Once(a.protocol, *protocol, option, problem);
        } else if (option == "--parity") {
            if (value != "n" && value != "o" && value != "e") {
                problem = "--parity needs n, o or e";
                return std::nullopt;
            }
            ok = Once(a.parity, value[0], option, problem);
        } else if (option == "--address") {
            if (value.size() != 1) {
                problem = "--address needs one character (0-9 or A-V)";
                return std::nullopt;
            }
            ok = Once(a.address, value[0], option, problem);
        } else {
            const std::optional<int> n = Number(value);
            if (!n) {
                problem = option + " needs a whole number";
                return std::nullopt;
            }
            std::optional<int>& slot = option == "--comm-port"        ? a.commPort
                                       : option == "--baud"           ? a.baud
                                       : option == "--modbus-address" ? a.modbusAddress
                                       : option == "--family"         ? a.family
                                       : option == "--revision"       ? a.revision
                                                                      : a.listenPort;
            ok = Once(slot, *n, option, problem);
        }
        if (!ok) return std::nullopt;
    }
    const bool serial = a.commPort || a.device;
    const bool node = a.nodeIP || a.nodeMac || a.listenPort;
    if (a.commPort && a.device) {
        problem = "give --comm-port or --device, not both";
        return std::nullopt;
    }
    if (serial && node) {
        problem = "a link is a serial port (--comm-port, --device) or a node (--node, --node-mac, --listen-port), "
                  "not both";
        return std::nullopt;
    }
    if (a.echo && node) {
        problem = "--echo and --no-echo are for a serial line, not a node";
        return std::nullopt;
    }
    return a;
}

LinkSettings ApplySettingsArgs(const SettingsArgs& a, LinkSettings s) {
    if (a.commPort || a.device) {
        if (a.commPort) {
            s.commPort = *a.commPort;
            s.device.clear();
        } else {
            SetSerialDevice(s, *a.device);
        }
        s.node = false;
        if (s.portType == 0) s.portType = 1;
    }
    if (a.nodeIP || a.nodeMac || a.listenPort) {
        s.node = true;
        s.device.clear();
        if (s.portType == 0) s.portType = 1; // port type 0 means no meter link at all
        if (a.nodeIP) s.nodeIP = *a.nodeIP;
        if (a.nodeMac) s.nodeMac = *a.nodeMac;
        if (a.listenPort) s.listenPort = *a.listenPort;
    }
    if (a.protocol) {
        s.protocol = *a.protocol;
        if (s.protocol == SerialProtocol::CustomAscii && !a.parity) s.parity = 'n';
    }
    if (a.baud) s.baud = *a.baud;
    if (a.parity) s.parity = *a.parity;
    if (a.address) s.address = *a.address;
    if (a.modbusAddress) s.modbusAddress = *a.modbusAddress;
    if (a.family) s.family = *a.family;
    if (a.revision) s.revision = *a.revision;
    if (a.echo) s.portType = *a.echo ? 2 : 1;
    return s;
}

} // namespace wm
