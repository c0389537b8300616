#pragma once

#include "packages/packagearchivefile.h"

#include <optional>

// The shared state behind PackageArchiveFile handles; only the archive changes it.
struct PackageArchiveFile::Record {
    Source source = Source::Memory;
    std::string name;
    std::string sourcePath;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t mode = 0;
    std::uint32_t modificationTime = 0;
    bool selected = false;
    std::optional<std::string> contents;
    // Which opening of an archive an Archive entry came from: an entry outlives a reopen
    // and must not then be read from the wrong stream.
    std::uint64_t openSerial = 0;
};
