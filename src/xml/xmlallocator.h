#pragma once

#include <cstddef>

// Memory for XML nodes and attribute blocks. A document of a few hundred thousand elements
// would otherwise spend most of its parse in malloc: here each thread bump-allocates from
// 64 KiB slabs, and a slab goes back to the system when the last object in it is released
// (from any thread). Objects are aligned to 8 bytes. Space of released objects is not reused before
// that, which suits trees that are built, used and dropped as a whole. Sanitizer builds use the
// plain heap so that every object stays visible to them.
void *xmlAllocate(std::size_t size);
void xmlRelease(void *pointer) noexcept;

// A deleter for std::unique_ptr over xmlAllocate'd bytes.
struct XMLRelease {
    void operator()(void *pointer) const noexcept { xmlRelease(pointer); }
};
