#include "debug/dwarflocals.h"

#include "core/hexception.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Location = DwarfLocals::Location;
using Type = DwarfLocals::Type;

struct Bytes {
    std::vector<std::uint8_t> data;
    Bytes &u8(unsigned value) {
        data.push_back(std::uint8_t(value));
        return *this;
    }
    Bytes &u32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            u8(value >> (8 * i) & 0xff);
        return *this;
    }
    Bytes &text(const char *value) {
        do
            u8(std::uint8_t(*value));
        while (*value++);
        return *this;
    }
    std::uint32_t size() const { return std::uint32_t(data.size()); }
};

// A DWARF 4 unit as -O0 code describes one function: f at [0x100, 0x140) with a parameter n,
// a character pointer s, a block at [0x110, 0x120) holding i in r7, an optimised-out
// variable, a static one whose pointer type points at itself and one in a location list.
struct Program {
    std::vector<std::uint8_t> info, abbreviations, locations;

    Program() {
        Bytes a;
        a.u8(1).u8(0x11).u8(1).u8(0x03).u8(0x08).u8(0).u8(0); // compile unit
        a.u8(2).u8(0x2e).u8(1).u8(0x03).u8(0x08).u8(0x11).u8(0x01).u8(0x12).u8(0x06);
        a.u8(0x40).u8(0x18).u8(0).u8(0); // subprogram
        a.u8(3).u8(0x05).u8(0).u8(0x03).u8(0x08).u8(0x49).u8(0x13).u8(0x02).u8(0x18).u8(0).u8(0);
        a.u8(4).u8(0x0b).u8(1).u8(0x11).u8(0x01).u8(0x12).u8(0x06).u8(0).u8(0); // block
        a.u8(5).u8(0x34).u8(0).u8(0x03).u8(0x08).u8(0x49).u8(0x13).u8(0x02).u8(0x18).u8(0).u8(0);
        a.u8(6).u8(0x24).u8(0).u8(0x03).u8(0x08).u8(0x0b).u8(0x0b).u8(0x3e).u8(0x0b).u8(0).u8(0);
        a.u8(7).u8(0x0f).u8(0).u8(0x0b).u8(0x0b).u8(0x49).u8(0x13).u8(0).u8(0); // pointer
        a.u8(8).u8(0x34).u8(0).u8(0x03).u8(0x08).u8(0).u8(0); // variable without location
        a.u8(9).u8(0x34).u8(0).u8(0x03).u8(0x08).u8(0x49).u8(0x13).u8(0x02).u8(0x17).u8(0).u8(0);
        a.u8(0);
        abbreviations = a.data;

        Bytes d;
        d.u32(0).u8(4).u8(0).u32(0).u8(4); // length filled in below
        d.u8(1).text("t.c");
        const std::uint32_t integer = d.size();
        d.u8(6).text("int").u8(4).u8(5);
        const std::uint32_t character = d.size();
        d.u8(6).text("char").u8(1).u8(6);
        const std::uint32_t string = d.size();
        d.u8(7).u8(4).u32(character);
        const std::uint32_t loop = d.size();
        d.u8(7).u8(4).u32(loop);
        d.u8(2).text("f").u32(0x100).u32(0x40).u8(1).u8(0x9c);
        d.u8(3).text("n").u32(integer).u8(2).u8(0x91).u8(0x74);
        d.u8(3).text("s").u32(string).u8(2).u8(0x91).u8(0x70);
        d.u8(4).u32(0x110).u32(0x10);
        d.u8(5).text("i").u32(integer).u8(1).u8(0x57).u8(0);
        d.u8(8).text("gone");
        d.u8(5).text("loop").u32(loop).u8(5).u8(0x03).u32(0x20000000);
        d.u8(9).text("listed").u32(integer).u32(0);
        d.u8(0).u8(0);
        info = d.data;
        // From the new base 0x100: at sp + 4 in [0x110, 0x120).
        Bytes l;
        l.u32(0xffffffff).u32(0x100).u32(0x10).u32(0x20).u8(2).u8(0).u8(0x7d).u8(4).u32(0).u32(0);
        locations = l.data;
        const std::uint32_t length = d.size() - 4;
        for (int i = 0; i < 4; ++i)
            info[std::size_t(i)] = std::uint8_t(length >> (8 * i));
    }

    std::optional<DwarfLocals::Scope> find(std::uint64_t pc) const { return find(info, pc); }
    // Each part given replaces the program's.
    std::optional<DwarfLocals::Scope> find(const std::vector<std::uint8_t> &bytes, std::uint64_t pc,
                                           const std::vector<std::uint8_t> *abbrev = nullptr,
                                           const std::vector<std::uint8_t> *lists = nullptr) const {
        return DwarfLocals::find(bytes, abbrev ? *abbrev : abbreviations, {}, {},
                                 lists ? *lists : locations, true, pc);
    }
};

std::string describe(const DwarfLocals::Variable &v) {
    return v.name + ":" + std::to_string(v.type.kind) + "/" + std::to_string(v.type.size) +
           (v.type.pointsToChar ? "c" : "") + ":" + std::to_string(v.location.kind) + "/" +
           std::to_string(v.location.number) + "/" + std::to_string(v.location.offset);
}

std::vector<std::string> describe(const DwarfLocals::Scope &scope) {
    std::vector<std::string> found;
    for (const DwarfLocals::Variable &variable : scope.variables)
        found.push_back(describe(variable));
    return found;
}

TEST(DwarfLocals, FunctionAndTheBlocksHoldingTheAddress) {
    const Program program;
    std::optional<DwarfLocals::Scope> scope = program.find(0x118);
    ASSERT_TRUE(scope);
    EXPECT_EQ(scope->function, "f");
    EXPECT_EQ(scope->frameBase.kind, Location::Cfa);
    EXPECT_EQ(describe(*scope),
              (std::vector<std::string>{"n:0/4:1/0/-12", "s:4/4c:1/0/-16", "i:0/4:3/7/0",
                                        "gone:5/0:0/0/0", "loop:4/4:5/536870912/0",
                                        "listed:0/4:4/13/4"}));
    // Outside the block its variable is not in scope.
    scope = program.find(0x104);
    ASSERT_TRUE(scope);
    EXPECT_EQ(describe(*scope),
              (std::vector<std::string>{"n:0/4:1/0/-12", "s:4/4c:1/0/-16", "gone:5/0:0/0/0",
                                        "loop:4/4:5/536870912/0", "listed:0/4:0/0/0"}));
    EXPECT_FALSE(program.find(0x140));
    EXPECT_FALSE(program.find(0xff));
}

TEST(DwarfLocals, DamagedInformationFailsCleanly) {
    const Program program;
    // A unit cut short anywhere no longer fits its length.
    for (std::size_t size = 1; size < program.info.size(); ++size) {
        const std::vector<std::uint8_t> cut(program.info.begin(),
                                            program.info.begin() + std::ptrdiff_t(size));
        EXPECT_THROW(program.find(cut, 0x118), HException) << size;
    }
    EXPECT_FALSE(program.find({}, 0x118));
    // Cut abbreviations and random damage: an answer or HException, never a read past the
    // end (the sanitizer build checks) nor another failure.
    auto survives = [&](const std::vector<std::uint8_t> &info,
                        const std::vector<std::uint8_t> &abbreviations,
                        const std::vector<std::uint8_t> &locations) {
        try {
            program.find(info, 0x118, &abbreviations, &locations);
        } catch (const HException &) {
        }
    };
    auto cut = [](const std::vector<std::uint8_t> &bytes, std::size_t size) {
        return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(size));
    };
    for (std::size_t size = 0; size < program.abbreviations.size(); ++size)
        survives(program.info, cut(program.abbreviations, size), program.locations);
    for (std::size_t size = 0; size < program.locations.size(); ++size)
        survives(program.info, program.abbreviations, cut(program.locations, size));
    std::mt19937 random(23);
    for (int round = 0; round < 6000; ++round) {
        std::vector<std::uint8_t> parts[] = {program.info, program.abbreviations,
                                             program.locations};
        std::vector<std::uint8_t> &target = parts[round % 3];
        for (int changes = 1 + round % 4; changes > 0; --changes)
            target[random() % target.size()] = std::uint8_t(random());
        survives(parts[0], parts[1], parts[2]);
    }
}

} // namespace
