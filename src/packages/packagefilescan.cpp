#include "packages/packagefilescan.h"

#include <algorithm>
#include <string_view>
#include <zlib.h>

namespace {

constexpr std::string_view kReference = "$(TovanDir)/";

} // namespace

void PackageFileScan::add(const char *data, std::size_t size) {
    m_crc = std::uint32_t(crc32_z(m_crc, reinterpret_cast<const Bytef *>(data), size));
    if (m_binary)
        return;
    const std::string_view piece(data, size);
    if (piece.find('\0') != std::string_view::npos) {
        m_binary = true;
        return;
    }
    if (m_reference)
        return;
    // A reference may straddle two pieces: the end of the one before is searched again.
    constexpr std::size_t keep = kReference.size() - 1;
    std::string joint = m_tail;
    joint.append(piece.substr(0, std::min(size, keep)));
    m_reference = joint.find(kReference) != std::string::npos ||
                  piece.find(kReference) != std::string_view::npos;
    m_tail = size >= keep ? std::string(piece.substr(size - keep))
                          : joint.substr(joint.size() - std::min(joint.size(), keep));
}
