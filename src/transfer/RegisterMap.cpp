#include "transfer/RegisterMap.h"

#include <algorithm>

#include "transfer/TransferSteps.h"

namespace wm {

namespace {

// --- the table's own consistency, checked while compiling -------------------

constexpr const RegisterDef* RowAt(int reg) {
    for (const RegisterDef& r : ModbusRegisters)
        if (r.reg == reg) return &r;
    return nullptr;
}

constexpr bool RowsAscendWithoutOverlap() {
    for (std::size_t i = 1; i < ModbusRegisters.size(); ++i)
        if (ModbusRegisters[i - 1].LastReg() >= ModbusRegisters[i].reg) return false;
    return true;
}

// Each row holds what its encoding needs: a numeric field for a pair, the
// scale for the scaled pair, a byte for a low byte.
constexpr bool RowsFitTheirFields() {
    for (const RegisterDef& r : ModbusRegisters) {
        if (r.field == nullptr) {
            if (r.encoding != RegEncoding::Zero && r.encoding != RegEncoding::LowByte) return false;
            continue;
        }
        if (r.pos != r.field->pos) return false;
        const bool numeric = r.field->type == FieldType::Numeric;
        switch (r.encoding) {
        case RegEncoding::Pair:
            if (!numeric || r.field->kind == FieldKind::Scale) return false;
            break;
        case RegEncoding::Scaled:
            if (!numeric || r.field->kind != FieldKind::Scale) return false;
            break;
        case RegEncoding::LowByte:
            if (numeric || r.pos % 2 != 1) return false;
            break;
        case RegEncoding::Zero: return false;
        }
    }
    return true;
}

// A write must give every register of its block a value, and no pair may
// run past the end of the block.
constexpr bool TilesExactly(const RegisterBlock& block) {
    int reg = block.start;
    while (reg < block.start + block.count) {
        const RegisterDef* row = RowAt(reg);
        if (row == nullptr || !block.Holds(*row)) return false;
        reg += row->Count();
    }
    return reg == block.start + block.count;
}

// A read must not cut a pair, and every landed row must come whole in one
// of the reads of a Get.
constexpr bool ReadsLandEveryRow(std::span<const RegisterBlock> blocks) {
    for (const RegisterDef& r : ModbusRegisters) {
        bool whole = false;
        for (const RegisterBlock& b : blocks) {
            const bool touches = r.reg < b.start + b.count && r.LastReg() >= b.start;
            if (touches && !b.Holds(r)) return false;
            whole = whole || b.Holds(r);
        }
        if (r.landed && !whole) return false;
    }
    return true;
}

constexpr bool Consistent() {
    return RowsAscendWithoutOverlap() && RowsFitTheirFields() &&
           std::all_of(PutBlocks.begin(), PutBlocks.end(), TilesExactly) && ReadsLandEveryRow(GetBlocksSerial) &&
           ReadsLandEveryRow(GetBlocksEthernet);
}

// Checked while compiling; the sanitizers' pointer checks make the compiler
// refuse these loops as constant expressions, so that build checks them when
// the tests run (RegisterMapConsistent).
#ifndef WM_SANITIZE_BUILD
static_assert(RowsAscendWithoutOverlap(), "register rows must ascend and not overlap");
static_assert(RowsFitTheirFields(), "a register row's encoding must fit its field");
static_assert(std::all_of(PutBlocks.begin(), PutBlocks.end(), TilesExactly), "every register of a write needs a row");
static_assert(ReadsLandEveryRow(GetBlocksSerial) && ReadsLandEveryRow(GetBlocksEthernet),
              "every landed register must be read whole");
#endif

bool HoldsPos(const RegisterDef& r, int pos) { return pos >= r.pos && pos < r.pos + r.Width(); }

} // namespace

bool RegisterMapConsistent() { return Consistent(); }

std::span<const RegisterBlock> GetBlocks(bool ethernet) {
    if (ethernet) return GetBlocksEthernet;
    return GetBlocksSerial;
}

const RegisterDef* FindRegister(int reg) { return RowAt(reg); }

std::string RegisterValues(const SetupImage& image, const RegisterDef& r) {
    switch (r.encoding) {
    case RegEncoding::Pair: return SignedFieldToHex8(image.Mid(r.pos, 6));
    case RegEncoding::Scaled: return ScaledFieldToHex8(image.Mid(r.pos, 6));
    case RegEncoding::LowByte: return "00" + image.Mid(r.pos, 2);
    case RegEncoding::Zero: break;
    }
    return "0000";
}

void LandRegister(SetupImage& image, const RegisterDef& r, std::string_view digits) {
    if (!r.landed || digits.size() < 4 * static_cast<std::size_t>(r.Count())) return;
    switch (r.encoding) {
    case RegEncoding::Pair: image.Put(r.pos, std::string(digits.substr(2, 6))); break;
    case RegEncoding::LowByte: image.Put(r.pos, std::string(digits.substr(2, 2))); break;
    case RegEncoding::Scaled:
        if (const auto value = HexNumber(digits.substr(0, 8))) image.Put(r.pos, ScaledFieldFromRegisters(*value));
        break;
    case RegEncoding::Zero: break;
    }
}

std::string ReadRequest(const RegisterBlock& block) {
    return "03" + Hex(static_cast<std::uint32_t>(block.start), 4) + Hex(static_cast<std::uint32_t>(block.count), 4);
}

std::string WriteRequestHead(const RegisterBlock& block) {
    return "10" + Hex(static_cast<std::uint32_t>(block.start), 4) + Hex(static_cast<std::uint32_t>(block.count), 4) +
           Hex(static_cast<std::uint32_t>(2 * block.count), 2);
}

std::string BlockValues(const SetupImage& image, const RegisterBlock& block) {
    std::string values;
    int reg = block.start;
    while (reg < block.start + block.count) {
        const RegisterDef* row = RowAt(reg);
        if (row == nullptr) { // cannot happen: the blocks are checked against the
                              // table above
            values += "0000";
            ++reg;
            continue;
        }
        values += RegisterValues(image, *row);
        reg += row->Count();
    }
    return values;
}

std::string WriteRequest(const SetupImage& image, const RegisterBlock& block) {
    return WriteRequestHead(block) + BlockValues(image, block);
}

void LandBlock(SetupImage& image, const RegisterBlock& block, std::string_view digits) {
    for (const RegisterDef& r : ModbusRegisters) {
        if (!r.landed || !block.Holds(r)) continue;
        const std::size_t at = 4 * static_cast<std::size_t>(r.reg - block.start);
        if (at >= digits.size()) continue;
        LandRegister(image, r, digits.substr(at, 4 * static_cast<std::size_t>(r.Count())));
    }
}

bool BlockLands(const RegisterBlock& block, int pos) {
    return std::any_of(ModbusRegisters.begin(), ModbusRegisters.end(),
                       [&](const RegisterDef& r) { return r.landed && block.Holds(r) && HoldsPos(r, pos); });
}

bool BlockWrites(const RegisterBlock& block, int pos) {
    return std::any_of(ModbusRegisters.begin(), ModbusRegisters.end(),
                       [&](const RegisterDef& r) { return block.Holds(r) && HoldsPos(r, pos); });
}

void MakeBroadcastAddressOne(SetupImage& image) {
    constexpr const FieldDef& address = FieldNamed("ModbusAddr");
    if (image.Mid(address.pos, address.Width()) == "00") StoreFieldCode(image, address, 1);
}

} // namespace wm
