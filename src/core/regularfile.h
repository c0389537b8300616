#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FileBuffer;

// Reading the files users name as input (memory maps, placements, includes, imports,
// solutions, settings). Only a regular file is read, so that a device never makes the tool
// grow its buffer without end (/dev/zero) and a named pipe never blocks it; and only up to a
// size cap, so that a huge file fails at once instead of exhausting memory.

// The cap every reader of user files applies.
inline constexpr std::uint64_t kRegularFileSizeLimit = std::uint64_t(256) << 20;

enum class RegularFileStatus {
    Ok,
    CannotOpen,     // missing, no permission, ... (errno is kept)
    NotRegularFile, // a directory, device, pipe or socket
    TooLarge,       // more than the size limit
    ReadFailed,
};

// Reads the whole file into `contents` (replaced). Files whose size the system reports as 0
// but that have content (under /proc) are read to their end, within the same limit. On any
// failure `contents` is left empty.
RegularFileStatus readRegularFile(const std::string &path, std::string &contents,
                                  std::uint64_t sizeLimit = kRegularFileSizeLimit);
// The same into a FileBuffer, for large inputs that are read once and parsed.
RegularFileStatus readRegularFile(const std::string &path, FileBuffer &contents,
                                  std::uint64_t sizeLimit = kRegularFileSizeLimit);

// Reads at most `count` bytes from the start of a regular file, for probes that look at a
// file's head; fails the same way for anything that is not a regular file.
RegularFileStatus readRegularFileHead(const std::string &path, std::string &contents,
                                      std::size_t count);

// A short lower-case phrase for a failure: "not a regular file", "larger than 256 MiB", ...;
// empty for Ok.
std::string regularFileError(RegularFileStatus status,
                             std::uint64_t sizeLimit = kRegularFileSizeLimit);
