#include "debug/thumbdisassembler.h"

#include "core/hexformat.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char *const kRegisters[16] = {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7",
                                    "r8", "r9", "sl", "fp", "ip", "sp", "lr", "pc"};
const char *const kConditions[16] = {"eq", "ne", "cs", "cc", "mi", "pl", "vs", "vc",
                                     "hi", "ls", "ge", "lt", "gt", "le", "",   ""};
const char *const kShifts[4] = {"lsl", "lsr", "asr", "ror"};

std::string reg(std::uint32_t number) {
    return kRegisters[number & 15];
}

std::int64_t signExtend(std::uint32_t value, unsigned bits) {
    const std::uint32_t sign = 1u << (bits - 1);
    return std::int64_t(std::int32_t((value ^ sign) - sign));
}

std::string hexValue(std::uint64_t value) {
    return "0x" + hex(value);
}

std::string registerList(std::uint32_t mask) {
    std::string text = "{";
    for (unsigned r = 0; r < 16; ++r)
        if (mask & (1u << r))
            text += (text.size() > 1 ? ", " : "") + reg(r);
    return text + "}";
}

// ", lsl #3" and the like; nothing for no shift.
std::string shiftText(std::uint32_t type, std::uint32_t amount) {
    if (type == 0 && amount == 0)
        return {};
    if (type == 3 && amount == 0)
        return ", rrx";
    if (amount == 0)
        amount = 32;
    return std::string(", ") + kShifts[type] + " #" + std::to_string(amount);
}

std::uint32_t expandImmediate(std::uint32_t imm12) {
    const std::uint32_t imm8 = imm12 & 0xff;
    if ((imm12 >> 10) == 0) {
        switch ((imm12 >> 8) & 3) {
        case 0:
            return imm8;
        case 1:
            return imm8 << 16 | imm8;
        case 2:
            return imm8 << 24 | imm8 << 8;
        default:
            return imm8 * 0x01010101u;
        }
    }
    const std::uint32_t value = 0x80 | (imm12 & 0x7f);
    const unsigned rotation = imm12 >> 7;
    return value >> rotation | value << (32 - rotation);
}

// Records where the instruction points, wrapped into the 32-bit space, and gives it as the
// listing shows it.
std::string pointAt(ThumbInstruction &out, std::uint64_t target) {
    out.hasTarget = true;
    out.target = target & 0xffffffff;
    return hex(out.target);
}

// The parts of one line while it is built.
struct Line {
    std::string mnemonic;
    std::string operands;
    std::vector<std::string> comments;

    // "#value", with its hexadecimal as a comment when that reads better.
    std::string immediate(std::uint32_t value) {
        if (value > 32)
            comments.push_back(hexValue(value));
        return "#" + std::to_string(value);
    }
    std::string text() const {
        std::string result = mnemonic;
        if (!operands.empty())
            result += "\t" + operands;
        for (const std::string &comment : comments)
            result += "\t@ " + comment;
        return result;
    }
};

// A special register of the M profile by its SYSm number, as MRS and MSR name it; "" for none.
std::string systemRegister(std::uint32_t number) {
    static const char *const kNames[21] = {
        "CPSR",        "IAPSR",     "EAPSR",  "PSR", "", "IPSR", "EPSR", "IEPSR",   "MSP",
        "PSP",         "",          "",       "",    "", "",     "",     "PRIMASK", "BASEPRI",
        "BASEPRI_MAX", "FAULTMASK", "CONTROL"};
    return number < 21 ? kNames[number] : "";
}

} // namespace

const char *ThumbDisassembler::itCondition() const {
    return inItBlock() ? kConditions[m_itState >> 4] : "";
}

ThumbInstruction ThumbDisassembler::decode(std::uint64_t address, const std::uint8_t *bytes,
                                           std::size_t length) {
    ThumbInstruction out;
    if (length < 2)
        return out;
    const std::uint32_t hw1 = bytes[0] | std::uint32_t(bytes[1]) << 8;
    const bool wide = (hw1 >> 11) >= 0x1d;
    const bool wasInBlock = inItBlock();
    if (wide && length >= 4) {
        const std::uint32_t hw2 = bytes[2] | std::uint32_t(bytes[3]) << 8;
        out.size = 4;
        out.encoding = hw1 << 16 | hw2;
        decode32(hw1, hw2, address, out);
    } else {
        out.size = 2;
        out.encoding = hw1;
        if (wide)
            out.text = ".short\t" + hexValue(hw1);
        else
            decode16(hw1, address, out);
    }
    // Each instruction of the block uses up one condition; the IT instruction itself set
    // a fresh state.
    if (wasInBlock)
        m_itState = (m_itState & 7) == 0 ? 0 : (m_itState & 0xe0) | ((m_itState << 1) & 0x1f);
    return out;
}

void ThumbDisassembler::decode16(std::uint32_t hw, std::uint64_t address, ThumbInstruction &out) {
    Line line;
    const std::string cond = itCondition();
    // Flag-setting forms set the flags only outside an IT block.
    const std::string s = inItBlock() ? "" : "s";
    const std::uint32_t rd = hw & 7, rn = (hw >> 3) & 7;
    const std::uint64_t pc = address + 4;
    auto branchTo = [&](std::uint64_t target) { return pointAt(out, target); };
    auto unknown = [&] { line = Line{".short", hexValue(hw), {}}; };

    if ((hw >> 13) == 0) {
        const std::uint32_t op = (hw >> 11) & 3;
        if (op < 3) {
            const std::uint32_t amount = (hw >> 6) & 31;
            if (op == 0 && amount == 0)
                line = {"mov" + s + cond, reg(rd) + ", " + reg(rn), {}};
            else
                line = {kShifts[op] + s + cond,
                        reg(rd) + ", " + reg(rn) + ", #" + std::to_string(amount ? amount : 32),
                        {}};
        } else {
            const bool sub = hw & 0x200;
            const std::string operand =
                hw & 0x400 ? "#" + std::to_string((hw >> 6) & 7) : reg((hw >> 6) & 7);
            line = {
                (sub ? "sub" : "add") + s + cond, reg(rd) + ", " + reg(rn) + ", " + operand, {}};
        }
    } else if ((hw >> 13) == 1) {
        static const char *const kNames[4] = {"mov", "cmp", "add", "sub"};
        const std::uint32_t op = (hw >> 11) & 3;
        line.mnemonic = std::string(kNames[op]) + (op == 1 ? "" : s) + cond;
        line.operands = reg((hw >> 8) & 7) + ", " + line.immediate(hw & 0xff);
    } else if ((hw >> 10) == 0x10) {
        static const char *const kNames[16] = {"and", "eor", "lsl", "lsr", "asr", "adc",
                                               "sbc", "ror", "tst", "neg", "cmp", "cmn",
                                               "orr", "mul", "bic", "mvn"};
        const std::uint32_t op = (hw >> 6) & 15;
        const bool compare = op == 8 || op == 10 || op == 11;
        line.mnemonic = std::string(kNames[op]) + (compare ? "" : s) + cond;
        line.operands = reg(rd) + ", " + reg(rn);
    } else if ((hw >> 10) == 0x11) {
        const std::uint32_t op = (hw >> 8) & 3;
        const std::uint32_t d = (hw >> 4 & 8) | rd, m = (hw >> 3) & 15;
        if (op == 3) {
            line = {std::string(hw & 0x80 ? "blx" : "bx") + cond, reg(m), {}};
        } else if (hw == 0x46c0) {
            // The no-operation of cores before ARMv6-M's hint instructions.
            line = {"nop", "", {"(mov r8, r8)"}};
        } else {
            static const char *const kNames[3] = {"add", "cmp", "mov"};
            line = {kNames[op] + cond, reg(d) + ", " + reg(m), {}};
        }
    } else if ((hw >> 11) == 9) {
        const std::uint32_t offset = (hw & 0xff) * 4;
        line.mnemonic = "ldr" + cond;
        line.operands = reg((hw >> 8) & 7) + ", [pc, #" + std::to_string(offset) + "]";
        line.comments.push_back("(" + branchTo((pc & ~3ull) + offset) + ")");
    } else if ((hw >> 12) == 5) {
        static const char *const kNames[8] = {"str", "strh", "strb", "ldrsb",
                                              "ldr", "ldrh", "ldrb", "ldrsh"};
        line = {kNames[(hw >> 9) & 7] + cond,
                reg(rd) + ", [" + reg(rn) + ", " + reg((hw >> 6) & 7) + "]",
                {}};
    } else if ((hw >> 13) == 3 || (hw >> 12) == 8) {
        const bool load = hw & 0x800;
        const std::uint32_t imm5 = (hw >> 6) & 31;
        const char *base;
        std::uint32_t offset;
        if ((hw >> 12) == 8)
            base = load ? "ldrh" : "strh", offset = imm5 * 2;
        else if (hw & 0x1000)
            base = load ? "ldrb" : "strb", offset = imm5;
        else
            base = load ? "ldr" : "str", offset = imm5 * 4;
        line.mnemonic = base + cond;
        line.operands = reg(rd) + ", [" + reg(rn) + ", " + line.immediate(offset) + "]";
    } else if ((hw >> 12) == 9) {
        line.mnemonic = std::string(hw & 0x800 ? "ldr" : "str") + cond;
        line.operands = reg((hw >> 8) & 7) + ", [sp, " + line.immediate((hw & 0xff) * 4) + "]";
    } else if ((hw >> 11) == 0x14) {
        const std::uint32_t offset = (hw & 0xff) * 4;
        const std::string rt = reg((hw >> 8) & 7);
        line.mnemonic = "add" + cond;
        line.operands = rt + ", pc, #" + std::to_string(offset);
        line.comments.push_back("(adr " + rt + ", " + branchTo((pc & ~3ull) + offset) + ")");
    } else if ((hw >> 11) == 0x15) {
        line.mnemonic = "add" + cond;
        line.operands = reg((hw >> 8) & 7) + ", sp, " + line.immediate((hw & 0xff) * 4);
    } else if ((hw >> 12) == 0xb) {
        if ((hw & 0xf500) == 0xb100) {
            const std::uint32_t offset = ((hw >> 3) & 31) << 1 | ((hw >> 9) & 1) << 6;
            line = {hw & 0x800 ? "cbnz" : "cbz", reg(rd) + ", " + branchTo(pc + offset), {}};
        } else if ((hw & 0xff00) == 0xb000) {
            line.mnemonic = std::string(hw & 0x80 ? "sub" : "add") + cond;
            line.operands = "sp, " + line.immediate((hw & 0x7f) * 4);
        } else if ((hw & 0xff00) == 0xb200) {
            static const char *const kNames[4] = {"sxth", "sxtb", "uxth", "uxtb"};
            line = {kNames[(hw >> 6) & 3] + cond, reg(rd) + ", " + reg(rn), {}};
        } else if ((hw & 0xfe00) == 0xb400) {
            line = {"push" + cond, registerList((hw & 0xff) | (hw & 0x100) << 6), {}};
        } else if ((hw & 0xfe00) == 0xbc00) {
            line = {"pop" + cond, registerList((hw & 0xff) | (hw & 0x100) << 7), {}};
        } else if ((hw & 0xffe8) == 0xb660) {
            std::string flags = std::string(hw & 2 ? "i" : "") + (hw & 1 ? "f" : "");
            if ((hw & 4) || flags.empty())
                unknown();
            else
                line = {hw & 0x10 ? "cpsid" : "cpsie", flags, {}};
        } else if ((hw & 0xff00) == 0xba00 && ((hw >> 6) & 3) != 2) {
            static const char *const kNames[4] = {"rev", "rev16", "", "revsh"};
            line = {kNames[(hw >> 6) & 3] + cond, reg(rd) + ", " + reg(rn), {}};
        } else if ((hw & 0xff00) == 0xbe00) {
            char text[8];
            std::snprintf(text, sizeof text, "0x%04x", hw & 0xff);
            line = {"bkpt", text, {}};
        } else if ((hw & 0xff00) == 0xbf00 && (hw & 0xf)) {
            const std::uint32_t first = (hw >> 4) & 15;
            std::string pattern;
            for (std::uint32_t mask = hw & 15, bit = 8; (mask & (bit - 1)) != 0; bit >>= 1)
                pattern += ((mask & bit) != 0) == (first & 1) ? 't' : 'e';
            line = {"it" + pattern, kConditions[first], {}};
            if (first == 15 || (first == 14 && pattern.find('e') != std::string::npos))
                unknown();
            else
                m_itState = hw & 0xff;
        } else if ((hw & 0xff0f) == 0xbf00) {
            static const char *const kNames[5] = {"nop", "yield", "wfe", "wfi", "sev"};
            const std::uint32_t hint = (hw >> 4) & 15;
            if (hint < 5)
                line = {kNames[hint] + cond, "", {}};
            else
                line = {"nop" + cond, "{" + std::to_string(hint) + "}", {}};
        } else {
            unknown();
        }
    } else if ((hw >> 12) == 0xc) {
        const bool load = hw & 0x800;
        const std::uint32_t base = (hw >> 8) & 7, list = hw & 0xff;
        const bool writeBack = !load || !(list & (1u << base));
        if (list == 0)
            unknown();
        else
            line = {std::string(load ? "ldmia" : "stmia") + cond,
                    reg(base) + (writeBack ? "!, " : ", ") + registerList(list),
                    {}};
    } else if ((hw >> 12) == 0xd) {
        const std::uint32_t condition = (hw >> 8) & 15;
        if (condition == 14) {
            line = {"udf", "", {}};
            line.operands = line.immediate(hw & 0xff);
        } else if (condition == 15) {
            line = {"svc" + cond, std::to_string(hw & 0xff), {}};
            if ((hw & 0xff) > 32)
                line.comments.push_back(hexValue(hw & 0xff));
        } else {
            line = {std::string("b") + kConditions[condition] + ".n",
                    branchTo(pc + signExtend((hw & 0xff) << 1, 9)),
                    {}};
        }
    } else if ((hw >> 11) == 0x1c) {
        line = {"b" + cond + ".n", branchTo(pc + signExtend((hw & 0x7ff) << 1, 12)), {}};
    } else {
        unknown();
    }
    out.text = line.text();
}

void ThumbDisassembler::decode32(std::uint32_t hw1, std::uint32_t hw2, std::uint64_t address,
                                 ThumbInstruction &out) {
    Line line;
    const std::string cond = itCondition();
    const std::uint64_t pc = address + 4;
    const std::uint32_t rn = hw1 & 15, rd = (hw2 >> 8) & 15, rt = hw2 >> 12, rm = hw2 & 15;
    const bool setFlags = hw1 & 0x10;
    auto branchTo = [&](std::uint64_t target) { return pointAt(out, target); };
    // Operands reproduce the bytes when assembled: the little-endian word in memory.
    auto unknown = [&] { line = Line{".word", hexValue(hw2 << 16 | hw1), {}}; };
    auto set = [&](const std::string &mnemonic, const std::string &operands) {
        line.mnemonic = mnemonic;
        line.operands = operands;
    };
    // "ldr.w r0, [r1, #4]": the mnemonic with its condition and width suffix.
    auto named = [&](const std::string &base, bool flags = false, const char *width = "") {
        return base + (flags ? "s" : "") + cond + width;
    };

    if ((hw1 & 0xfc00) == 0xec00) {
        if ((hw2 & 0xe00) == 0xa00 && decodeFloatingPoint(hw1 << 16 | hw2, address, out))
            return;
        unknown();
    } else if ((hw1 & 0xfe40) == 0xe800) {
        // Load and store multiple.
        const std::uint32_t op = (hw1 >> 7) & 3;
        const bool load = hw1 & 0x10, writeBack = hw1 & 0x20;
        if (op == 0 || op == 3 || hw2 == 0)
            unknown();
        else
            set(op == 1 ? named(load ? "ldmia" : "stmia", false, ".w")
                        : named(load ? "ldmdb" : "stmdb"),
                reg(rn) + (writeBack ? "!, " : ", ") + registerList(hw2));
    } else if ((hw1 & 0xfe40) == 0xe840) {
        // Load and store dual, exclusive, and table branch.
        const bool pre = hw1 & 0x100, up = hw1 & 0x80, writeBack = hw1 & 0x20, load = hw1 & 0x10;
        if (pre || writeBack) {
            const std::uint32_t amount = (hw2 & 0xff) * 4;
            const std::string offset = "#" + std::string(up ? "" : "-") + std::to_string(amount);
            std::string address = "[" + reg(rn);
            if (!pre)
                address += "], " + offset;
            else if (writeBack)
                address += ", " + offset + "]!";
            else if (amount == 0 && up)
                address += "]";
            else
                address += ", " + offset + "]";
            set(named(load ? "ldrd" : "strd"), reg(rt) + ", " + reg(rd) + ", " + address);
            if (rn == 15 && pre && !writeBack)
                line.comments.push_back(branchTo((pc & ~3ull) + (up ? amount : -amount)));
            if (amount > 32)
                line.comments.push_back(hexValue(amount));
        } else if (!up) {
            const std::uint32_t amount = (hw2 & 0xff) * 4;
            const std::string address =
                "[" + reg(rn) + (amount ? ", " + line.immediate(amount) : "") + "]";
            if (load)
                set(named("ldrex"), reg(rt) + ", " + address);
            else
                set(named("strex"), reg(rd) + ", " + reg(rt) + ", " + address);
        } else {
            const std::uint32_t op = (hw2 >> 4) & 15;
            if (load && op == 0)
                set(named("tbb"), "[" + reg(rn) + ", " + reg(rm) + "]");
            else if (load && op == 1)
                set(named("tbh"), "[" + reg(rn) + ", " + reg(rm) + ", lsl #1]");
            else if (op == 4 || op == 5)
                set(named(std::string(load ? "ldrex" : "strex") + (op == 4 ? "b" : "h")),
                    (load ? "" : reg(rm) + ", ") + reg(rt) + ", [" + reg(rn) + "]");
            else
                unknown();
        }
    } else if ((hw1 & 0xfe00) == 0xea00) {
        // Data processing with a shifted register.
        const std::uint32_t op = (hw1 >> 5) & 15, type = (hw2 >> 4) & 3;
        const std::uint32_t amount = (hw2 >> 10 & 0x1c) | (hw2 >> 6 & 3);
        const std::string shifted = reg(rm) + shiftText(type, amount);
        const bool test = rd == 15 && setFlags;
        switch (op) {
        case 0:
            if (test)
                set(named("tst", false, ".w"), reg(rn) + ", " + shifted);
            else
                set(named("and", setFlags, ".w"), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 1:
            set(named("bic", setFlags, ".w"), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 2:
            if (rn == 15)
                set(named("mov", setFlags, ".w"), reg(rd) + ", " + shifted);
            else
                set(named("orr", setFlags, ".w"), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 3:
            if (rn == 15)
                set(named("mvn", setFlags, ".w"), reg(rd) + ", " + shifted);
            else
                set(named("orn", setFlags), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 4:
            if (test)
                set(named("teq"), reg(rn) + ", " + shifted);
            else
                set(named("eor", setFlags, ".w"), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 6:
            if (setFlags || (type & 1))
                unknown();
            else
                set(named(type ? "pkhtb" : "pkhbt"), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 8:
            if (test)
                set(named("cmn", false, ".w"), reg(rn) + ", " + shifted);
            else
                set(named("add", setFlags, ".w"), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 10:
        case 11:
            set(named(op == 10 ? "adc" : "sbc", setFlags, ".w"),
                reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 13:
            if (test)
                set(named("cmp", false, ".w"), reg(rn) + ", " + shifted);
            else
                set(named("sub", setFlags, ".w"), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        case 14:
            set(named("rsb", setFlags), reg(rd) + ", " + reg(rn) + ", " + shifted);
            break;
        default:
            unknown();
        }
    } else if ((hw1 & 0xf800) == 0xf000 && !(hw2 & 0x8000)) {
        if (!(hw1 & 0x200)) {
            // Data processing with a modified immediate.
            const std::uint32_t op = (hw1 >> 5) & 15;
            const std::uint32_t value =
                expandImmediate((hw1 >> 10 & 1) << 11 | (hw2 >> 4 & 0x700) | (hw2 & 0xff));
            const bool test = rd == 15 && setFlags;
            static const char *const kNames[16] = {"and",   "bic",   "orr", "orn",   "eor", nullptr,
                                                   nullptr, nullptr, "add", nullptr, "adc", "sbc",
                                                   nullptr, "sub",   "rsb", nullptr};
            static const char *const kTests[16] = {"tst",   nullptr, nullptr, nullptr, "teq",
                                                   nullptr, nullptr, nullptr, "cmn",   nullptr,
                                                   nullptr, nullptr, nullptr, "cmp"};
            const bool wide = op != 3 && op != 14 && op != 4;
            if (!kNames[op]) {
                unknown();
            } else if (test && kTests[op]) {
                line.mnemonic = named(kTests[op], false, op == 4 ? "" : ".w");
                line.operands = reg(rn) + ", " + line.immediate(value);
            } else if ((op == 2 || op == 3) && rn == 15) {
                line.mnemonic = named(op == 2 ? "mov" : "mvn", setFlags, ".w");
                line.operands = reg(rd) + ", " + line.immediate(value);
            } else {
                line.mnemonic = named(kNames[op], setFlags, wide || op == 4 ? ".w" : "");
                line.operands = reg(rd) + ", " + reg(rn) + ", " + line.immediate(value);
            }
        } else {
            // Plain binary immediates, saturation and bit fields.
            const std::uint32_t op = (hw1 >> 4) & 31;
            const std::uint32_t imm12 = (hw1 >> 10 & 1) << 11 | (hw2 >> 4 & 0x700) | (hw2 & 0xff);
            const std::uint32_t lsb = (hw2 >> 10 & 0x1c) | (hw2 >> 6 & 3);
            switch (op) {
            case 0:
            case 10:
                line.mnemonic = named(op ? "subw" : "addw");
                line.operands = reg(rd) + ", " + reg(rn) + ", " + line.immediate(imm12);
                break;
            case 4:
            case 12:
                line.mnemonic = named(op == 4 ? "movw" : "movt");
                line.operands = reg(rd) + ", " + line.immediate(rn << 12 | imm12);
                break;
            case 16:
            case 18:
            case 24:
            case 26: {
                const bool isUnsigned = op >= 24;
                if (op & 2 && lsb == 0) {
                    const std::uint32_t bits = (hw2 & 15) + (isUnsigned ? 0 : 1);
                    set(named(isUnsigned ? "usat16" : "ssat16"),
                        reg(rd) + ", #" + std::to_string(bits) + ", " + reg(rn));
                } else {
                    const std::uint32_t bits = (hw2 & 31) + (isUnsigned ? 0 : 1);
                    set(named(isUnsigned ? "usat" : "ssat"),
                        reg(rd) + ", #" + std::to_string(bits) + ", " + reg(rn) +
                            shiftText(op & 2 ? 2 : 0, lsb));
                }
                break;
            }
            case 20:
            case 28:
                set(named(op == 20 ? "sbfx" : "ubfx"), reg(rd) + ", " + reg(rn) + ", #" +
                                                           std::to_string(lsb) + ", #" +
                                                           std::to_string((hw2 & 31) + 1));
                break;
            case 22: {
                const std::uint32_t msb = hw2 & 31;
                if (msb < lsb)
                    unknown();
                else if (rn == 15)
                    set(named("bfc"), reg(rd) + ", #" + std::to_string(lsb) + ", #" +
                                          std::to_string(msb - lsb + 1));
                else
                    set(named("bfi"), reg(rd) + ", " + reg(rn) + ", #" + std::to_string(lsb) +
                                          ", #" + std::to_string(msb - lsb + 1));
                break;
            }
            default:
                unknown();
            }
        }
    } else if ((hw1 & 0xf800) == 0xf000) {
        // Branches and miscellaneous control.
        const std::uint32_t op1 = (hw2 >> 12) & 7, op = (hw1 >> 4) & 0x7f;
        const std::uint32_t s = (hw1 >> 10) & 1, j1 = (hw2 >> 13) & 1, j2 = (hw2 >> 11) & 1;
        if ((op1 & 5) == 0 && (op & 0x38) != 0x38) {
            const std::uint32_t offset =
                s << 20 | j2 << 19 | j1 << 18 | (hw1 & 0x3f) << 12 | (hw2 & 0x7ff) << 1;
            set(std::string("b") + kConditions[(hw1 >> 6) & 15] + ".w",
                branchTo(pc + signExtend(offset, 21)));
        } else if (op1 & 1) {
            const std::uint32_t i1 = !(j1 ^ s), i2 = !(j2 ^ s);
            const std::int64_t offset = signExtend(
                s << 24 | i1 << 23 | i2 << 22 | (hw1 & 0x3ff) << 12 | (hw2 & 0x7ff) << 1, 25);
            set(op1 & 4 ? named("bl") : named("b", false, ".w"), branchTo(pc + offset));
        } else if (op1 & 4) {
            // BLX to the Arm instruction set: the target is word-aligned.
            const std::uint32_t i1 = !(j1 ^ s), i2 = !(j2 ^ s);
            const std::int64_t offset = signExtend(
                s << 24 | i1 << 23 | i2 << 22 | (hw1 & 0x3ff) << 12 | (hw2 & 0x7fe) << 1, 25);
            if (hw2 & 1)
                unknown();
            else
                set(named("blx"), branchTo((pc & ~3ull) + offset));
        } else if (op1 == 2 && op == 0x7f) {
            line.mnemonic = "udf.w";
            line.operands = line.immediate((hw1 & 15) << 12 | (hw2 & 0xfff));
        } else if (op1 == 0 && (op & 0x7e) == 0x38 && (hw2 & 0x300) == 0) {
            const std::uint32_t mask = (hw2 >> 10) & 3;
            std::string name = systemRegister(hw2 & 0xff);
            const bool statusRegister = (hw2 & 0xfc) == 0;
            if (name.empty() || mask == 0 || (!statusRegister && mask != 2))
                unknown();
            else {
                if (statusRegister)
                    name += mask == 2 ? "_f" : mask == 1 ? "_s" : "_fs";
                set(named("msr"), name + ", " + reg(rn));
            }
        } else if (op1 == 0 && (op & 0x7e) == 0x3e) {
            std::string name = systemRegister(hw2 & 0xff);
            if (name.empty())
                unknown();
            else
                set(named("mrs"), reg(rd) + ", " + name);
        } else if (op1 == 0 && op == 0x3a && (hw2 & 0x700) == 0) {
            static const char *const kHints[5] = {"nop", "yield", "wfe", "wfi", "sev"};
            const std::uint32_t hint = hw2 & 0xff;
            if (hint < 5)
                set(named(kHints[hint], false, ".w"), "");
            else if ((hint & 0xf0) == 0xf0)
                set(named("dbg"), "#" + std::to_string(hint & 15));
            else
                unknown();
        } else if (op1 == 0 && op == 0x3b) {
            const std::uint32_t which = (hw2 >> 4) & 15, option = hw2 & 15;
            if (which == 2)
                set(named("clrex"), "");
            else if (which >= 4 && which <= 6) {
                static const char *const kOptions[16] = {
                    nullptr, nullptr, "oshst", "osh", nullptr, nullptr, "nshst", "nsh",
                    nullptr, nullptr, "ishst", "ish", nullptr, nullptr, "st",    "sy"};
                static const char *const kNames[3] = {"dsb", "dmb", "isb"};
                set(named(kNames[which - 4]),
                    kOptions[option] ? kOptions[option] : "#" + std::to_string(option));
            } else
                unknown();
        } else {
            unknown();
        }
    } else if ((hw1 & 0xfe00) == 0xf800) {
        // Single loads and stores, and preloads.
        const bool isSigned = hw1 & 0x100, imm12Form = hw1 & 0x80, load = hw1 & 0x10;
        const std::uint32_t size = (hw1 >> 5) & 3;
        static const char *const kStores[3] = {"strb", "strh", "str"};
        static const char *const kLoads[3] = {"ldrb", "ldrh", "ldr"};
        static const char *const kSigned[3] = {"ldrsb", "ldrsh", nullptr};
        const char *base = size == 3  ? nullptr
                           : !load    ? (isSigned ? nullptr : kStores[size])
                           : isSigned ? kSigned[size]
                                      : kLoads[size];
        const bool preload = load && rt == 15 && size == 0;
        if (preload)
            base = isSigned ? "pli" : "pld";
        std::string address;
        bool unprivileged = false, unknownForm = false;
        if (rn == 15 && load) {
            const std::uint32_t amount = hw2 & 0xfff;
            address = amount == 0 && imm12Form ? "[pc]"
                                               : "[pc, #" + std::string(imm12Form ? "" : "-") +
                                                     std::to_string(amount) + "]";
            line.comments.push_back(
                branchTo((pc & ~3ull) + (imm12Form ? amount : -std::int64_t(amount))));
        } else if (imm12Form) {
            const std::uint32_t amount = hw2 & 0xfff;
            address = amount == 0 ? "[" + reg(rn) + "]"
                                  : "[" + reg(rn) + ", " + line.immediate(amount) + "]";
        } else if (hw2 & 0x800) {
            const bool pre = hw2 & 0x400, up = hw2 & 0x200, writeBack = hw2 & 0x100;
            const std::string offset =
                "#" + std::string(up ? "" : "-") + std::to_string(hw2 & 0xff);
            if (pre && up && !writeBack)
                unprivileged = true, address = "[" + reg(rn) + ", " + offset + "]";
            else if (pre)
                address = "[" + reg(rn) + ", " + offset + (writeBack ? "]!" : "]");
            else if (writeBack)
                address = "[" + reg(rn) + "], " + offset;
            else
                unknownForm = true;
            if (preload && (writeBack || unprivileged))
                unknownForm = true;
        } else if ((hw2 & 0xfc0) == 0) {
            address = "[" + reg(rn) + ", " + reg(rm) + shiftText(0, (hw2 >> 4) & 3) + "]";
        } else {
            unknownForm = true;
        }
        if (!base || unknownForm)
            unknown();
        else if (preload)
            set(named(base), address);
        else if (unprivileged)
            set(named(std::string(base) + "t"), reg(rt) + ", " + address);
        else
            set(named(base, false, ".w"), reg(rt) + ", " + address);
    } else if ((hw1 & 0xff00) == 0xfa00 && (hw2 & 0xf000) == 0xf000) {
        // Data processing with registers.
        const std::uint32_t op1 = (hw1 >> 4) & 15, op2 = (hw2 >> 4) & 15;
        if (op1 < 8 && op2 == 0) {
            set(named(kShifts[op1 >> 1], setFlags, ".w"),
                reg(rd) + ", " + reg(rn) + ", " + reg(rm));
        } else if (op1 < 6 && (op2 & 8) && !(op2 & 4)) {
            static const char *const kExtend[6] = {"sxth",   "uxth", "sxtb16",
                                                   "uxtb16", "sxtb", "uxtb"};
            static const char *const kAccumulate[6] = {"sxtah",   "uxtah", "sxtab16",
                                                       "uxtab16", "sxtab", "uxtab"};
            const std::string rotation = shiftText(3, (op2 & 3) * 8);
            if (rn == 15)
                set(named(kExtend[op1], false, (op1 & 2) == 2 && op1 < 4 ? "" : ".w"),
                    reg(rd) + ", " + reg(rm) + (op2 & 3 ? rotation : ""));
            else
                set(named(kAccumulate[op1]),
                    reg(rd) + ", " + reg(rn) + ", " + reg(rm) + (op2 & 3 ? rotation : ""));
        } else if (op1 >= 8 && op2 < 8 && (op2 & 3) != 3) {
            static const char *const kPrefixes[8] = {"s", "q",  "sh", nullptr,
                                                     "u", "uq", "uh", nullptr};
            static const char *const kOperations[8] = {"add8", "add16", "asx", nullptr,
                                                       "sub8", "sub16", "sax", nullptr};
            const char *prefix = kPrefixes[op2], *operation = kOperations[op1 & 7];
            if (!prefix || !operation)
                unknown();
            else
                set(named(std::string(prefix) + operation),
                    reg(rd) + ", " + reg(rn) + ", " + reg(rm));
        } else if ((op1 & 12) == 8 && (op2 & 12) == 8) {
            static const char *const kNames[4][4] = {{"qadd", "qdadd", "qsub", "qdsub"},
                                                     {"rev.w", "rev16.w", "rbit", "revsh.w"},
                                                     {"sel", nullptr, nullptr, nullptr},
                                                     {"clz", nullptr, nullptr, nullptr}};
            const char *name = kNames[op1 & 3][op2 & 3];
            std::string mnemonic = name ? name : "";
            if (const std::size_t dot = mnemonic.find('.'); dot != std::string::npos)
                mnemonic.insert(dot, cond);
            else
                mnemonic += cond;
            if (!name)
                unknown();
            else if ((op1 & 3) == 0)
                set(mnemonic, reg(rd) + ", " + reg(rm) + ", " + reg(rn));
            else if ((op1 & 3) == 2)
                set(mnemonic, reg(rd) + ", " + reg(rn) + ", " + reg(rm));
            else
                set(mnemonic, reg(rd) + ", " + reg(rm));
        } else {
            unknown();
        }
    } else if ((hw1 & 0xff80) == 0xfb00) {
        // Multiply and multiply-accumulate.
        const std::uint32_t op1 = (hw1 >> 4) & 7, op2 = (hw2 >> 4) & 3;
        const bool accumulate = rt != 15;
        const std::string operands =
            reg(rd) + ", " + reg(rn) + ", " + reg(rm) + (accumulate ? ", " + reg(rt) : "");
        const std::string x = op2 & 2 ? "t" : "b", y = op2 & 1 ? "t" : "b";
        const std::string exchange = op2 & 1 ? "x" : "", round = op2 & 1 ? "r" : "";
        switch (op1) {
        case 0:
            if (op2 == 0)
                set(accumulate ? named("mla") : named("mul", false, ".w"), operands);
            else if (op2 == 1 && accumulate)
                set(named("mls"), operands);
            else
                unknown();
            break;
        case 1:
            set(named((accumulate ? "smla" : "smul") + x + y), operands);
            break;
        case 2:
        case 4:
            if (op2 >= 2)
                unknown();
            else
                set(named((op1 == 2 ? (accumulate ? "smlad" : "smuad")
                                    : (accumulate ? "smlsd" : "smusd")) +
                          exchange),
                    operands);
            break;
        case 3:
            if (op2 >= 2)
                unknown();
            else
                set(named((accumulate ? "smlaw" : "smulw") + y), operands);
            break;
        case 5:
        case 6:
            if (op2 >= 2 || (op1 == 6 && !accumulate))
                unknown();
            else
                set(named((op1 == 6 ? "smmls" : accumulate ? "smmla" : "smmul") + round), operands);
            break;
        default:
            if (op2 != 0)
                unknown();
            else
                set(named(accumulate ? "usada8" : "usad8"), operands);
        }
    } else if ((hw1 & 0xff80) == 0xfb80) {
        // Long multiply and divide.
        const std::uint32_t op1 = (hw1 >> 4) & 7, op2 = (hw2 >> 4) & 15;
        const std::string longOperands = reg(rt) + ", " + reg(rd) + ", " + reg(rn) + ", " + reg(rm);
        const char *name = nullptr;
        std::string composed;
        if (op2 == 0) {
            static const char *const kNames[8] = {"smull", nullptr, "umull", nullptr,
                                                  "smlal", nullptr, "umlal", nullptr};
            name = kNames[op1];
        } else if (op2 == 15 && (op1 == 1 || op1 == 3) && rt == 15) {
            set(named(op1 == 1 ? "sdiv" : "udiv"), reg(rd) + ", " + reg(rn) + ", " + reg(rm));
        } else if (op1 == 4 && (op2 & 12) == 8) {
            composed = std::string("smlal") + (op2 & 2 ? "t" : "b") + (op2 & 1 ? "t" : "b");
        } else if ((op1 == 4 || op1 == 5) && (op2 & 14) == 12) {
            composed = std::string(op1 == 4 ? "smlald" : "smlsld") + (op2 & 1 ? "x" : "");
        } else if (op1 == 6 && op2 == 6) {
            name = "umaal";
        }
        if (name)
            composed = name;
        if (!composed.empty())
            set(named(composed), longOperands);
        else if (line.mnemonic.empty())
            unknown();
    } else {
        unknown();
    }
    if (line.mnemonic.empty())
        unknown();
    out.text = line.text();
}

namespace {

// Single registers number Vd:D, double ones D:Vd.
std::string floatRegister(bool isDouble, std::uint32_t field, std::uint32_t extra) {
    return isDouble ? "d" + std::to_string(extra << 4 | field)
                    : "s" + std::to_string(field << 1 | extra);
}

// The single-precision bits of an 8-bit floating-point immediate and its value as binutils
// shows it: " 0.5", "-10.0".
std::string floatImmediate(std::uint32_t imm8) {
    const std::uint32_t b6 = (imm8 >> 6) & 1;
    const std::uint32_t exponent = (b6 ^ 1) << 7 | (b6 ? 0x7c : 0) | ((imm8 >> 4) & 3);
    const std::uint32_t bits = (imm8 >> 7) << 31 | exponent << 23 | (imm8 & 15) << 19;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value < 0 ? -value : value));
    std::string shown = text;
    if (shown.find_first_of(".e") == std::string::npos)
        shown += ".0";
    return hexValue(bits) + " " + (value < 0 ? "-" : " ") + shown;
}

} // namespace

bool ThumbDisassembler::decodeFloatingPoint(std::uint32_t w, std::uint64_t address,
                                            ThumbInstruction &out) {
    Line line;
    const std::string cond = itCondition();
    const bool isDouble = w & 0x100;
    const std::string type = isDouble ? ".f64" : ".f32";
    const std::uint32_t vd = (w >> 12) & 15, vn = (w >> 16) & 15, vm = w & 15;
    const std::uint32_t d = (w >> 22) & 1, n = (w >> 7) & 1, m = (w >> 5) & 1;
    const std::string rd = floatRegister(isDouble, vd, d), rn = floatRegister(isDouble, vn, n),
                      rm = floatRegister(isDouble, vm, m);
    const std::uint32_t rt = (w >> 12) & 15, base = (w >> 16) & 15;

    if ((w & 0x0e000000) == 0x0c000000) {
        // Loads, stores and transfers of register pairs.
        const std::uint32_t op = (w >> 20) & 31, imm8 = w & 0xff;
        if ((op & 0x1e) == 0x04) {
            if (isDouble && (w & 0xd0) == 0x10) {
                const std::string dm = floatRegister(true, vm, m);
                line.mnemonic = "vmov" + cond;
                line.operands = op & 1 ? reg(rt) + ", " + reg(base) + ", " + dm
                                       : dm + ", " + reg(rt) + ", " + reg(base);
            } else if (!isDouble && (w & 0xd0) == 0x10 && (vm << 1 | m) < 31) {
                const std::uint32_t first = vm << 1 | m;
                const std::string pair =
                    "s" + std::to_string(first) + ", s" + std::to_string(first + 1);
                line.mnemonic = "vmov" + cond;
                line.operands = op & 1 ? reg(rt) + ", " + reg(base) + ", " + pair
                                       : pair + ", " + reg(rt) + ", " + reg(base);
            } else {
                return false;
            }
        } else if ((op & 0x12) == 0x10) {
            const bool up = op & 8;
            const std::uint32_t amount = imm8 * 4;
            line.mnemonic = std::string(op & 1 ? "vldr" : "vstr") + cond;
            line.operands = rd + ", [" + reg(base);
            if (amount || !up)
                line.operands += ", #" + std::string(up ? "" : "-") + std::to_string(amount);
            line.operands += "]";
            if (base == 15) {
                line.comments.push_back(
                    pointAt(out, ((address + 4) & ~3ull) + (up ? amount : -std::int64_t(amount))));
            } else if (amount > 32) {
                line.comments.push_back(hexValue(up ? amount : std::uint32_t(-amount)));
            }
        } else {
            // Multiple registers: increment after, or decrement before with write-back.
            const bool up = op & 8, before = op & 16, writeBack = op & 2, load = op & 1;
            const std::uint32_t count = isDouble ? imm8 / 2 : imm8;
            const std::uint32_t first = isDouble ? d << 4 | vd : vd << 1 | d;
            if (up == before || (before && !writeBack) || count == 0 || (isDouble && imm8 & 1) ||
                first + count > (isDouble ? 16u : 32u))
                return false;
            const std::string prefix = isDouble ? "d" : "s";
            std::string list = "{" + prefix + std::to_string(first);
            if (count > 1)
                list += "-" + prefix + std::to_string(first + count - 1);
            list += "}";
            if (base == 13 && writeBack && load == up) {
                line.mnemonic = std::string(load ? "vpop" : "vpush") + cond;
                line.operands = list;
            } else {
                line.mnemonic = std::string(load ? "vldm" : "vstm") + (up ? "ia" : "db") + cond;
                line.operands = reg(base) + (writeBack ? "!, " : ", ") + list;
            }
        }
    } else if ((w & 0x0f000010) == 0x0e000010) {
        // Transfers between core and floating-point registers.
        const std::uint32_t op = (w >> 21) & 7;
        const bool toCore = w & 0x100000;
        if ((w & 0xf00) == 0xa00 && op == 0 && (w & 0x60) == 0) {
            const std::string sn = floatRegister(false, vn, n);
            line.mnemonic = "vmov" + cond;
            line.operands = toCore ? reg(rt) + ", " + sn : sn + ", " + reg(rt);
        } else if ((w & 0xf00) == 0xa00 && op == 7 && vn == 1 && (w & 0xff) == 0x10) {
            if (toCore)
                line = {"vmrs" + cond, (rt == 15 ? "APSR_nzcv" : reg(rt)) + ", fpscr", {}};
            else
                line = {"vmsr" + cond, "fpscr, " + reg(rt), {}};
        } else if ((w & 0xf00) == 0xb00 && (op & 6) == 0 && (w & 0x60) == 0) {
            const std::string scalar =
                floatRegister(true, vn, n) + "[" + std::to_string(op & 1) + "]";
            line.mnemonic = "vmov" + cond + ".32";
            line.operands = toCore ? reg(rt) + ", " + scalar : scalar + ", " + reg(rt);
        } else {
            return false;
        }
    } else if ((w & 0x0f000010) == 0x0e000000) {
        // Data processing.
        const std::uint32_t op1 = (w >> 21 & 4) | (w >> 20 & 3), op2 = (w >> 16) & 15;
        const bool second = w & 0x40;
        static const char *const kArithmetic[7][2] = {
            {"vmla", "vmls"},  {"vnmls", "vnmla"}, {"vmul", "vnmul"}, {"vadd", "vsub"},
            {"vdiv", nullptr}, {"vfnms", "vfnma"}, {"vfma", "vfms"}};
        if (op1 < 7) {
            const char *name = kArithmetic[op1][second];
            if (!name)
                return false;
            line = {name + cond + type, rd + ", " + rn + ", " + rm, {}};
        } else if (!second) {
            const std::uint32_t imm8 = (w >> 12 & 0xf0) | (w & 15);
            if (w & 0xa0)
                return false;
            line = {"vmov" + cond + type, rd + ", #" + std::to_string(imm8), {}};
            line.comments.push_back(floatImmediate(imm8));
        } else {
            const bool bit7 = w & 0x80;
            const std::string sm = floatRegister(false, vm, m);
            switch (op2) {
            case 0:
            case 1: {
                static const char *const kNames[2][2] = {{"vmov", "vabs"}, {"vneg", "vsqrt"}};
                line = {kNames[op2][bit7] + cond + type, rd + ", " + rm, {}};
                break;
            }
            case 4:
                line = {(bit7 ? "vcmpe" : "vcmp") + cond + type, rd + ", " + rm, {}};
                break;
            case 5:
                if (vm || m)
                    return false;
                line = {(bit7 ? "vcmpe" : "vcmp") + cond + type, rd + ", #0.0", {}};
                break;
            case 7:
                if (!bit7)
                    return false;
                line = {"vcvt" + cond + (isDouble ? ".f32.f64" : ".f64.f32"),
                        floatRegister(!isDouble, vd, d) + ", " + rm,
                        {}};
                break;
            case 8:
                line = {"vcvt" + cond + type + (bit7 ? ".s32" : ".u32"), rd + ", " + sm, {}};
                break;
            case 12:
            case 13:
                line = {std::string(bit7 ? "vcvt" : "vcvtr") + cond + (op2 & 1 ? ".s32" : ".u32") +
                            type,
                        floatRegister(false, vd, d) + ", " + rm,
                        {}};
                break;
            case 10:
            case 11:
            case 14:
            case 15: {
                // Fixed point with a number of fraction bits, in place.
                const unsigned size = bit7 ? 32 : 16;
                const std::uint32_t fractionBits = size - ((w & 15) << 1 | m);
                const std::string fixed = std::string(op2 & 1 ? ".u" : ".s") + std::to_string(size);
                line = {"vcvt" + cond + (op2 & 4 ? fixed + type : type + fixed),
                        rd + ", " + rd + ", #" + std::to_string(fractionBits),
                        {}};
                break;
            }
            default:
                return false;
            }
        }
    } else {
        return false;
    }
    out.text = line.text();
    return true;
}
