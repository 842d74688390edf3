#include "platform/SerialPortControl.h"

#include <charconv>
#include <vector>

namespace wm {

std::string DeviceForPortNumber(int commPortNumber) {
    const int index = commPortNumber > 0 ? commPortNumber - 1 : 0;
    return "/dev/ttyS" + std::to_string(index);
}

namespace {
bool ToInt(const std::string& s, int& out) {
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}
} // namespace

LineSettings ParseLineSettings(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char ch : text) {
        if (ch == ',') parts.emplace_back();
        else parts.back().push_back(ch);
    }
    LineSettings s;
    if (parts.size() != 4) return s;
    if (!ToInt(parts[0], s.baud) || s.baud <= 0) return s;
    if (parts[1].size() != 1) return s;
    char p = parts[1][0];
    if (p >= 'A' && p <= 'Z') p = static_cast<char>(p - 'A' + 'a');
    if (p != 'n' && p != 'o' && p != 'e') return s;
    s.parity = p;
    if (!ToInt(parts[2], s.dataBits) || s.dataBits < 5 || s.dataBits > 8) return s;
    if (!ToInt(parts[3], s.stopBits) || s.stopBits < 1 || s.stopBits > 2) return s;
    s.ok = true;
    return s;
}

} // namespace wm
