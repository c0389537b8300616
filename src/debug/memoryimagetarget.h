#pragma once

#include "debug/debugtarget.h"

#include <map>
#include <string>
#include <vector>

class LoadFileInterface;

// A target that is only memory: regions filled from load files or ELF segments, and a
// register file. It never runs; it gives the debugger a deterministic target without
// hardware. Reads outside the regions stop short, as on a target without memory there.
class MemoryImageTarget final : public DebugTarget {
public:
    // An ARM M-profile register file unless told otherwise.
    MemoryImageTarget();
    explicit MemoryImageTarget(std::vector<TargetRegister> registers, unsigned addressSize = 4);

    // Adds a region of memory; a region overlapping an earlier one takes its place there.
    void addRegion(std::uint64_t address, std::vector<std::uint8_t> bytes);
    // Every section of a load file becomes a region.
    void addLoadFile(LoadFileInterface &loadFile);
    // The loadable segments of an ELF file become regions (.bss as zeros).
    void addElfFile(const std::string &path);
    // Keeps region contents from being written, as flash is.
    void setReadOnly(std::uint64_t address, std::size_t length);

    unsigned addressSize() const override { return m_addressSize; }
    const std::vector<TargetRegister> &registers() const override { return m_registers; }
    std::vector<std::uint64_t> readRegisters() override { return m_values; }
    void writeRegister(std::size_t index, std::uint64_t value) override;
    std::size_t readMemory(std::uint64_t address, void *destination, std::size_t length) override;
    std::size_t writeMemory(std::uint64_t address, const void *source, std::size_t length) override;
    bool insertBreakpoint(std::uint64_t address, bool hardware) override;
    bool removeBreakpoint(std::uint64_t address, bool hardware) override;
    // A memory image has no processor: resuming it fails.
    StopEvent resume(bool step, int timeoutMs) override;
    StopEvent waitForStop(int timeoutMs) override;
    void interrupt() override {}
    StopEvent haltReason() override { return {}; }
    void detach() override {}
    void kill() override {}

    // How many memory requests arrived: lets tests see what a cache saves.
    std::size_t memoryRequests() const { return m_memoryRequests; }
    const std::map<std::uint64_t, bool> &breakpoints() const { return m_breakpoints; }

private:
    struct Region {
        std::vector<std::uint8_t> bytes;
        bool readOnly = false;
    };
    // The region holding `address` and the bytes of it from there on, or null.
    Region *regionAt(std::uint64_t address, std::size_t *offset);

    std::map<std::uint64_t, Region> m_regions; // by start address; regions never overlap
    std::vector<TargetRegister> m_registers;
    std::vector<std::uint64_t> m_values;
    std::map<std::uint64_t, bool> m_breakpoints; // address, hardware
    unsigned m_addressSize;
    std::size_t m_memoryRequests = 0;
};

// The registers of an ARM M-profile core as the GDB remote protocol numbers them.
const std::vector<TargetRegister> &armMProfileRegisters();
