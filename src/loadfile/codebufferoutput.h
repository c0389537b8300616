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
    static constexpr std::size_t kBufferSize = 1 << 16;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
};
