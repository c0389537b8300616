#include "debug/memoryimagetarget.h"

#include "core/hexception.h"
#include "debug/elffile.h"
#include "loadfile/loadfile.h"

#include <algorithm>
#include <cstring>

const std::vector<TargetRegister> &armMProfileRegisters() {
    static const std::vector<TargetRegister> registers = {
        {"r0", 0, 4},   {"r1", 1, 4},    {"r2", 2, 4},   {"r3", 3, 4},  {"r4", 4, 4},
        {"r5", 5, 4},   {"r6", 6, 4},    {"r7", 7, 4},   {"r8", 8, 4},  {"r9", 9, 4},
        {"r10", 10, 4}, {"r11", 11, 4},  {"r12", 12, 4}, {"sp", 13, 4}, {"lr", 14, 4},
        {"pc", 15, 4},  {"xpsr", 25, 4},
    };
    return registers;
}

MemoryImageTarget::MemoryImageTarget() : MemoryImageTarget(armMProfileRegisters()) {}

MemoryImageTarget::MemoryImageTarget(std::vector<TargetRegister> registers, unsigned addressSize)
    : m_registers(std::move(registers)), m_values(m_registers.size(), 0),
      m_addressSize(addressSize) {}

void MemoryImageTarget::addRegion(std::uint64_t address, std::vector<std::uint8_t> bytes) {
    if (bytes.empty())
        return;
    const std::uint64_t end = address + bytes.size();
    // Cut earlier regions back to what lies outside the new one.
    std::map<std::uint64_t, Region> kept;
    for (auto &[start, region] : m_regions) {
        const std::uint64_t regionEnd = start + region.bytes.size();
        if (regionEnd <= address || start >= end) {
            kept.emplace(start, std::move(region));
            continue;
        }
        if (start < address)
            kept.emplace(start, Region{{region.bytes.begin(),
                                        region.bytes.begin() + std::ptrdiff_t(address - start)},
                                       region.readOnly});
        if (regionEnd > end)
            kept.emplace(end, Region{{region.bytes.begin() + std::ptrdiff_t(end - start),
                                      region.bytes.end()},
                                     region.readOnly});
    }
    kept.emplace(address, Region{std::move(bytes), false});
    m_regions = std::move(kept);
}

void MemoryImageTarget::addLoadFile(LoadFileInterface &loadFile) {
    for (const LoadFileSectionList::Item &section : loadFile.sections()) {
        const std::uint8_t *data = section->data(false);
        addRegion(section->address(), {data, data + section->length()});
    }
}

void MemoryImageTarget::addElfFile(const std::string &path) {
    ElfFile elf(path);
    for (const ElfFile::Segment &segment : elf.segments()) {
        std::vector<std::uint8_t> bytes = segment.bytes;
        bytes.resize(segment.memorySize, 0);
        addRegion(segment.address, std::move(bytes));
    }
}

void MemoryImageTarget::setReadOnly(std::uint64_t address, std::size_t length) {
    for (auto &[start, region] : m_regions) {
        if (start < address + length && start + region.bytes.size() > address)
            region.readOnly = true;
    }
}

void MemoryImageTarget::writeRegister(std::size_t index, std::uint64_t value) {
    if (index >= m_values.size())
        throw HException("no such register");
    const unsigned bits = m_registers[index].size * 8;
    m_values[index] = bits >= 64 ? value : value & ((std::uint64_t(1) << bits) - 1);
}

MemoryImageTarget::Region *MemoryImageTarget::regionAt(std::uint64_t address, std::size_t *offset) {
    auto next = m_regions.upper_bound(address);
    if (next == m_regions.begin())
        return nullptr;
    auto &[start, region] = *std::prev(next);
    if (address - start >= region.bytes.size())
        return nullptr;
    *offset = std::size_t(address - start);
    return &region;
}

std::size_t MemoryImageTarget::readMemory(std::uint64_t address, void *destination,
                                          std::size_t length) {
    ++m_memoryRequests;
    auto *out = static_cast<std::uint8_t *>(destination);
    std::size_t done = 0;
    while (done < length) {
        std::size_t offset = 0;
        Region *region = regionAt(address + done, &offset);
        if (!region)
            break;
        const std::size_t count = std::min(length - done, region->bytes.size() - offset);
        std::memcpy(out + done, region->bytes.data() + offset, count);
        done += count;
    }
    return done;
}

std::size_t MemoryImageTarget::writeMemory(std::uint64_t address, const void *source,
                                           std::size_t length) {
    ++m_memoryRequests;
    const auto *in = static_cast<const std::uint8_t *>(source);
    std::size_t done = 0;
    while (done < length) {
        std::size_t offset = 0;
        Region *region = regionAt(address + done, &offset);
        if (!region || region->readOnly)
            break;
        const std::size_t count = std::min(length - done, region->bytes.size() - offset);
        std::memcpy(region->bytes.data() + offset, in + done, count);
        done += count;
    }
    return done;
}

bool MemoryImageTarget::insertBreakpoint(std::uint64_t address, bool hardware) {
    m_breakpoints[address] = hardware;
    return true;
}

bool MemoryImageTarget::removeBreakpoint(std::uint64_t address, bool) {
    return m_breakpoints.erase(address) > 0;
}

StopEvent MemoryImageTarget::resume(bool, int) {
    throw HException("a memory image cannot run");
}

StopEvent MemoryImageTarget::waitForStop(int) {
    throw HException("a memory image cannot run");
}
