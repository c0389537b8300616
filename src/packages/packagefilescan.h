#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What installing needs to know of a file's bytes, taken piece by piece as they are written
// so that the file is never read back: the CRC-32 for its description, and whether it is
// text (no NUL byte) that names the environment's own directory ("$(TovanDir)/").
class PackageFileScan {
public:
    void add(const char *data, std::size_t size);

    std::uint32_t crc32() const { return m_crc; }
    bool referencesTovanDir() const { return m_reference && !m_binary; }

private:
    std::uint32_t m_crc = 0;
    bool m_binary = false;
    bool m_reference = false;
    std::string m_tail; // the end of the pieces so far, where a reference may begin
};
