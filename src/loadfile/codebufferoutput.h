#pragma once

#include "core/replacementfile.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

// The file an image writer produces. Bytes go to a temporary beside the target, which
// replaces the target only on commit: a writer that fails or is abandoned leaves no partial
// file behind. Devices and pipes (such as /dev/stdout) are written directly.
// Open and write failures are thrown as HException.
class CodeBufferOutput {
public:
    // Throws "cannot open " + path.
    explicit CodeBufferOutput(const std::string &path);
    // Removes the temporary unless committed.
    ~CodeBufferOutput();
    CodeBufferOutput(const CodeBufferOutput &) = delete;
    CodeBufferOutput &operator=(const CodeBufferOutput &) = delete;

    void write(const char *bytes, std::size_t size) {
        if (size > kBufferSize - m_used)
            makeRoom(size);
        if (size > kBufferSize) {
            writeThrough(bytes, size);
            return;
        }
        std::memcpy(m_buffer.get() + m_used, bytes, size);
        m_used += size;
    }
    void write(const std::string &text) { write(text.data(), text.size()); }

    // Room for up to `size` bytes (at most kLineRoom) formatted in place: the caller fills
    // from the returned position and hands the end of what it wrote to advance(). Saves the
    // copy of every record line.
    char *reserve(std::size_t size) {
        if (size > kBufferSize - m_used)
            makeRoom(size);
        return m_buffer.get() + m_used;
    }
    void advance(const char *end) { m_used = std::size_t(end - m_buffer.get()); }
    static constexpr std::size_t kLineRoom = 4096;

    // Writes what is buffered and puts the file in place; throws "cannot write " + path.
    void commit();

    const std::string &path() const { return m_path; }

private:
    void makeRoom(std::size_t size);
    void writeThrough(const char *bytes, std::size_t size);
    void discard();

    std::string m_path;
    std::optional<ReplacementFile> m_replacement; // none when writing directly
    int m_fd = -1;
    bool m_committed = false;
    // Large writes: a 16 MiB image makes 46 MiB of Intel HEX.
    static constexpr std::size_t kBufferSize = 1 << 20;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
};
