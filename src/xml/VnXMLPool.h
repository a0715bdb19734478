// The memory of element trees: small blocks (elements and texts) cut from large chunks,
// without the per-allocation overhead of the general heap. Blocks of one size are recycled; the
// chunks of a size go back to the heap once none of its blocks is in use. Single-threaded, like
// the element tree.
#pragma once

#include <cstddef>

namespace VnXMLPool {

// A block of at least size bytes, aligned for pointers; larger sizes come from the heap.
void* Allocate(size_t size);
// Returns a block; size as it was allocated.
void Free(void* block, size_t size);

} // namespace VnXMLPool
