#include "VnXMLPool.h"

#include <new>

namespace {

constexpr size_t Granule = sizeof(void*) > 8 ? sizeof(void*) : 8;
constexpr size_t LargestPooled = 256;
constexpr size_t ChunkSize = 64 * 1024;

// Trivially destructible, so that trees that outlive the end of main can still give memory back.
struct TSizeClass {
    void* FreeList = nullptr; // each free block holds the next one
    char* Next = nullptr;     // the unused rest of the newest chunk
    char* End = nullptr;
    char* Chunks = nullptr; // the newest chunk; each chunk starts with the one before it
    size_t Live = 0;
};

TSizeClass Classes[LargestPooled / Granule];

TSizeClass& ClassOf(size_t size) {
    return Classes[(size - 1) / Granule];
}

size_t Rounded(size_t size) {
    return (size + Granule - 1) / Granule * Granule;
}

void ReleaseChunks(TSizeClass& sizeClass) {
    for (char* chunk = sizeClass.Chunks; chunk;) {
        char* previous = *reinterpret_cast<char**>(chunk);
        ::operator delete(chunk);
        chunk = previous;
    }
    sizeClass = TSizeClass();
}

} // namespace

namespace VnXMLPool {

void* Allocate(size_t size) {
    if (size == 0)
        size = 1;
    if (size > LargestPooled)
        return ::operator new(size);
    TSizeClass& sizeClass = ClassOf(size);
    void* block = sizeClass.FreeList;
    if (block) {
        sizeClass.FreeList = *static_cast<void**>(block);
    } else {
        const size_t rounded = Rounded(size);
        if (static_cast<size_t>(sizeClass.End - sizeClass.Next) < rounded) {
            char* chunk = static_cast<char*>(::operator new(ChunkSize));
            *reinterpret_cast<char**>(chunk) = sizeClass.Chunks;
            sizeClass.Chunks = chunk;
            sizeClass.Next = chunk + Granule;
            sizeClass.End = sizeClass.Next + (ChunkSize - Granule) / rounded * rounded;
        }
        block = sizeClass.Next;
        sizeClass.Next += rounded;
    }
    ++sizeClass.Live;
    return block;
}

void Free(void* block, size_t size) {
    if (!block)
        return;
    if (size == 0)
        size = 1;
    if (size > LargestPooled) {
        ::operator delete(block);
        return;
    }
    TSizeClass& sizeClass = ClassOf(size);
    if (--sizeClass.Live == 0) {
        ReleaseChunks(sizeClass);
        return;
    }
    *static_cast<void**>(block) = sizeClass.FreeList;
    sizeClass.FreeList = block;
}

} // namespace VnXMLPool
