#pragma once

#include <cstddef>
#include <string_view>

// Room for a whole file's bytes that is not cleared first, unlike a std::string's, and that
// asks for huge pages: a large input then costs one pass over its memory (the read) and a
// fault per 2 MiB instead of a clearing pass and a fault per page. Readers that are done with
// a part may give its pages back with madvise(MADV_DONTNEED).
class FileBuffer {
public:
    FileBuffer() = default;
    FileBuffer(const FileBuffer &) = delete;
    FileBuffer &operator=(const FileBuffer &) = delete;
    ~FileBuffer();

    char *data() { return m_data; }
    std::size_t size() const { return m_size; }
    std::string_view view() const { return {m_data, m_size}; }
    // Keeps the first bytes; bytes past the old size are unspecified. Throws std::bad_alloc.
    void resize(std::size_t size);
    // Gives all the memory back.
    void clear();

private:
    char *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mapped = 0;
};
