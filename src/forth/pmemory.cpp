#include "forth/pmemory.h"

#include "forth/forthexception.h"

const Cell &PMemory::fetch(std::int64_t offset) const {
    if (!contains(offset))
        forthThrow(kErrInvalidAddress, "cell fetch outside allotted region");
    return m_cells[std::size_t(offset)];
}

void PMemory::store(std::int64_t offset, Cell cell) {
    if (!contains(offset))
        forthThrow(kErrInvalidAddress, "cell store outside allotted region");
    m_cells[std::size_t(offset)] = std::move(cell);
}
