#include "readings/ChartDrawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "readings/ReadingsLog.h"

namespace wm {

std::vector<std::string> TextsOf(const Drawing& drawing) {
    std::vector<std::string> texts;
    for (const DrawOp& op : drawing)
        if (const auto* text = std::get_if<DrawText>(&op)) texts.push_back(text->text);
    return texts;
}

namespace {

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// The digits that follow the first decimal point.
int DecimalsOf(std::string_view entry) {
    const std::string_view text = Trimmed(entry);
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) return 0;
    int digits = 0;
    for (std::size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++digits;
    return digits;
}

} // namespace

double EntryValue(std::string_view text) { return ReadNumber(Trimmed(text)).value_or(0.0); }

int LabelDecimals(std::string_view midEntry, std::string_view smallEntry) {
    return std::min(std::max(DecimalsOf(midEntry), DecimalsOf(smallEntry)), MaxLabelDecimals);
}

ValueScale ValueScale::FromEntries(std::string_view midEntry, std::string_view smallEntry) {
    ValueScale scale;
    scale.mid = EntryValue(midEntry);
    scale.small = EntryValue(smallEntry);
    if (scale.small == 0) scale.small = 1;
    scale.decimals = LabelDecimals(midEntry, smallEntry);
    return scale;
}

std::string ValueLabelPicture(int decimals) {
    return "0." + std::string(static_cast<std::size_t>(std::clamp(decimals, 0, MaxLabelDecimals)), '0');
}

std::string FormatPicture(double value, std::string_view picture) {
    const std::size_t point = picture.find('.');
    const std::string_view whole = picture.substr(0, point);
    const std::string_view decimals = point == std::string_view::npos ? std::string_view() : picture.substr(point + 1);
    const auto minWhole = static_cast<std::size_t>(std::count(whole.begin(), whole.end(), '0'));
    const auto minDecimals = static_cast<std::size_t>(std::count(decimals.begin(), decimals.end(), '0'));
    const int maxDecimals = static_cast<int>(decimals.size());

    // Halves round away from zero, as a picture format does.
    double magnitude = std::fabs(value);
    const double unit = std::pow(10.0, maxDecimals);
    if (magnitude * unit < 0x1p53) magnitude = std::round(magnitude * unit) / unit;
    char buffer[512];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, maxDecimals);
    if (written.ec != std::errc()) return {};
    std::string digits(buffer, written.ptr);
    if (!std::isfinite(value)) return (value < 0 ? "-" : "") + digits;

    std::string intPart = digits.substr(0, digits.find('.'));
    std::string fraction = digits.find('.') == std::string::npos ? std::string() : digits.substr(digits.find('.') + 1);
    while (fraction.size() > minDecimals && fraction.back() == '0') fraction.pop_back();
    // Leading zeros of the whole part only as far as "0" placeholders ask.
    const std::size_t significant = intPart.find_first_not_of('0');
    intPart = significant == std::string::npos ? std::string() : intPart.substr(significant);
    if (intPart.size() < minWhole) intPart.insert(0, minWhole - intPart.size(), '0');

    const bool zero = intPart.find_first_not_of('0') == std::string::npos &&
                      fraction.find_first_not_of('0') == std::string::npos;
    std::string text = (value < 0 && !zero) ? "-" : "";
    text += intPart;
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

double WholeUnits(double value) {
    if (std::isnan(value)) return 0;
    return std::clamp(std::floor(value + 0.5), -1e9, 1e9);
}

} // namespace wm
