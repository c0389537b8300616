#pragma once

#include "forth/cell.h"

#include <cstdint>
#include <string>
#include <vector>

// Something of the dictionary that has a name.
class PLabel {
public:
    explicit PLabel(std::string name) : m_name(std::move(name)) {}
    const std::string &name() const noexcept { return m_name; }

private:
    std::string m_name;
};

// A named region of cells (made by CREATE, VARIABLE, VALUE; extended by ALLOT and `,`).
// Every access is checked against the allotted size.
class PMemory : public PLabel {
public:
    explicit PMemory(std::string name, std::size_t size = 0)
        : PLabel(std::move(name)), m_cells(size) {}

    std::size_t size() const noexcept { return m_cells.size(); }
    void resize(std::size_t size) { m_cells.resize(size); }
    void append(Cell cell) { m_cells.push_back(std::move(cell)); }

    bool contains(std::int64_t offset) const noexcept {
        return offset >= 0 && std::uint64_t(offset) < m_cells.size();
    }
    const Cell &fetch(std::int64_t offset) const;
    void store(std::int64_t offset, Cell cell);
    // Unchecked access for callers that already checked with contains().
    Cell &at(std::int64_t offset) noexcept { return m_cells[std::size_t(offset)]; }

    // Made by ALLOCATE: only such a region may be resized or freed.
    bool allocated = false;

private:
    std::vector<Cell> m_cells;
};
