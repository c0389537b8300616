#pragma once

#include <cstdint>
#include <optional>
#include <string>

class SymbolicDebuggerInterface;
class SymbolicDebuggerInterfaceHelpers;

// "cannot read target memory at 0x%08x" or "cannot write ...": the one message of a memory
// access that stopped short, at the first byte that did not move.
std::string memoryAccessError(bool write, std::uint64_t address);

// The writer name ("hex", "srec", "lst", "txt", "bin", "tek") a file name's ending selects, or
// null.
const char *memoryFormatForFileName(const std::string &path);

// Saves target memory [start, end) to `path` in the format its ending names. The whole range
// is read before the file is made, so a range the target cannot deliver fails with "cannot
// read target memory at 0x%08x" (the first missing byte) and leaves no file.
void saveMemoryToFile(SymbolicDebuggerInterface &engine, std::uint64_t start, std::uint64_t end,
                      const std::string &path, SymbolicDebuggerInterfaceHelpers *helpers = nullptr);

// Writes every section of a load file into target memory; a raw binary goes to
// `binaryBase` (0 when not given). Returns the bytes written. A write the target refuses fails
// with "cannot write target memory at 0x%08x".
std::uint64_t loadMemoryFromFile(SymbolicDebuggerInterface &engine, const std::string &path,
                                 std::optional<std::uint32_t> binaryBase = std::nullopt,
                                 SymbolicDebuggerInterfaceHelpers *helpers = nullptr);
