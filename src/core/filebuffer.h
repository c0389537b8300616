#pragma once

#include <cstddef>
#include <string_view>

// Room for a whole file's bytes that is not cleared first, unlike a std::string's: the pages
// are mapped all at once and the read fills them, so a large input costs one pass over its
// memory instead of three (clearing, faulting page by page, reading). Readers that are done
// with a part may give its pages back with madvise(MADV_DONTNEED).
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
