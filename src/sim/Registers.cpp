#include "sim/Registers.h"

#include <limits>
#include <optional>

#include "sim/SimFraming.h"

namespace wm::sim {
namespace {

int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

std::uint32_t Number(const std::string& text) {
    std::uint32_t n = 0;
    for (char c : text)
        n = n * 16 + static_cast<std::uint32_t>(Digit(c));
    return n;
}

std::int64_t RoundTenthHalfEven(std::int64_t v) {
    std::int64_t q = v / 10;
    const std::int64_t r = v % 10;
    if (r > 5 || (r == 5 && (q % 2) != 0)) ++q;
    return q;
}

std::int32_t Saturate(std::int64_t v) {
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::int64_t PowerOfTen(int n) {
    std::int64_t p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

std::optional<RegisterField> FieldAt(std::uint16_t reg) {
    for (const RegisterField& f : HoldingRegisters) {
        const bool wide = f.kind != RegisterKind::Byte;
        if (reg == f.reg || (wide && reg == f.reg + 1)) return f;
    }
    return std::nullopt;
}

std::uint32_t WideValue(const std::string& image, const RegisterField& f) {
    const std::string field = image.substr(static_cast<std::size_t>(f.pos - 1), 6);
    const std::int32_t v = f.kind == RegisterKind::Scaled ? ScaledValue(field) : FieldValue(field);
    return static_cast<std::uint32_t>(v);
}

void StoreWide(std::string& image, const RegisterField& f, std::uint32_t value) {
    const auto v = static_cast<std::int32_t>(value);
    image.replace(static_cast<std::size_t>(f.pos - 1), 6,
                  f.kind == RegisterKind::Scaled ? ScaledText(v) : FieldText(v));
}

} // namespace

std::int32_t FieldValue(const std::string& field) {
    std::uint32_t n = Number(field) & 0xFFFFFFU;
    if (n & 0x800000U) n |= 0xFF000000U;
    return static_cast<std::int32_t>(n);
}

std::string FieldText(std::int32_t value) {
    const auto n = static_cast<std::uint32_t>(value) & 0xFFFFFFU;
    return HexByte(n >> 16) + HexByte(n >> 8) + HexByte(n);
}

std::int32_t ScaledValue(const std::string& field) {
    const int k = Digit(field.empty() ? '0' : field[0]);
    const auto magnitude = static_cast<std::int64_t>(Number(field.substr(1, 5)));
    const bool negative = k >= 8;
    int code = negative ? k - 8 : k;
    if (code < 1) code = 1;
    if (code > 6) code = 6;
    const std::int64_t v = magnitude * PowerOfTen(6 - code);
    return Saturate(negative ? -v : v);
}

std::string ScaledText(std::int32_t value) {
    std::int64_t v = value;
    int sign = 0;
    if (v < 0) {
        sign = 8;
        v = -v;
    }
    int code = 6;
    while (v >= 100000 && code != 1) {
        v = RoundTenthHalfEven(v);
        --code;
    }
    const auto m = static_cast<unsigned>(v);
    const std::string five = HexByte(m >> 16).substr(1) + HexByte(m >> 8) + HexByte(m);
    return HexByte(static_cast<unsigned>(sign + code)).substr(1) + five;
}

std::uint16_t ReadHolding(const std::string& image, std::uint16_t reg) {
    const std::optional<RegisterField> f = FieldAt(reg);
    if (!f) return 0;
    if (f->kind == RegisterKind::Byte)
        return static_cast<std::uint16_t>(Number(image.substr(static_cast<std::size_t>(f->pos - 1), 2)));
    const std::uint32_t v = WideValue(image, *f);
    return static_cast<std::uint16_t>(reg == f->reg ? v >> 16 : v & 0xFFFFU);
}

void WriteHolding(std::string& image, const std::map<std::uint16_t, std::uint16_t>& values) {
    for (const RegisterField& f : HoldingRegisters) {
        const auto first = values.find(f.reg);
        if (f.kind == RegisterKind::Byte) {
            if (first != values.end())
                image.replace(static_cast<std::size_t>(f.pos - 1), 2, HexByte(first->second));
            continue;
        }
        const auto second = values.find(static_cast<std::uint16_t>(f.reg + 1));
        if (first == values.end() && second == values.end()) continue;
        const std::uint32_t old = WideValue(image, f);
        const std::uint32_t hi = first != values.end() ? first->second : old >> 16;
        const std::uint32_t lo = second != values.end() ? second->second : old & 0xFFFFU;
        StoreWide(image, f, (hi << 16) | lo);
    }
}

} // namespace wm::sim
