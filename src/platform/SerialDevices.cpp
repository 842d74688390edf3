#include "platform/SerialDevices.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>

namespace wm {

namespace {

std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

// "ttyS10" after "ttyS2": by the length of the number first, then as text.
bool NumberOrder(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::vector<std::string> ListSerialDevices(const std::filesystem::path& devRoot) {
    std::vector<std::string> out;
    std::vector<std::string> byId = Names(devRoot / "serial" / "by-id");
    std::sort(byId.begin(), byId.end());
    for (const std::string& name : byId) out.push_back((devRoot / "serial" / "by-id" / name).string());

    const std::vector<std::string> all = Names(devRoot);
    for (const std::string_view prefix : std::array<std::string_view, 3>{"ttyS", "ttyUSB", "ttyACM"}) {
        std::vector<std::string> group;
        for (const std::string& name : all)
            if (name.starts_with(prefix) && AllDigits(std::string_view(name).substr(prefix.size())))
                group.push_back(name);
        std::sort(group.begin(), group.end(), NumberOrder);
        for (const std::string& name : group) out.push_back((devRoot / name).string());
    }
    return out;
}

} // namespace wm
