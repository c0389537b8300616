#include "core/filebuffer.h"

#include <new>

#include <sys/mman.h>

FileBuffer::~FileBuffer() {
    clear();
}

void FileBuffer::resize(std::size_t size) {
    if (size > m_mapped) {
        void *memory = m_data ? mremap(m_data, m_mapped, size, MREMAP_MAYMOVE)
                              : mmap(nullptr, size, PROT_READ | PROT_WRITE,
                                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::bad_alloc();
        madvise(memory, size, MADV_HUGEPAGE);
        m_data = static_cast<char *>(memory);
        m_mapped = size;
    }
    m_size = size;
}

void FileBuffer::clear() {
    if (m_data)
        munmap(m_data, m_mapped);
    m_data = nullptr;
    m_size = m_mapped = 0;
}
