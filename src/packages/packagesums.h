#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a package file should be: its size (0 when not known) and its sums as the list gives
// them (any case, surrounding blanks allowed; SHA-256 may be absent).
struct PackageSums {
    std::uint64_t size = 0;
    std::string md5;
    std::string sha256;
};

// The outcome of comparing a file with what it should be: the lines to log, in order, and
// whether it may be installed.
struct PackageSumCheck {
    bool ok = false;
    std::vector<std::string> errors;
    std::string verified; // "Verified correct MD5 sum for NAME (SUM)" when ok
};

// Compares what was read (`got`, sums in lower-case hex) with `expected`. A missing MD5 sum
// fails: a list that names no sum cannot vouch for the file.
PackageSumCheck checkPackageSums(const std::string &name, const PackageSums &expected,
                                 const PackageSums &got);
