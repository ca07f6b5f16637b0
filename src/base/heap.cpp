#include "base/heap.hpp"

#include <cstdlib>

void *heap_alloc(size_t size) {
    if (size == 0) return nullptr;
    return std::malloc(size);
}

void *heap_realloc(void *block, size_t size) {
    if (size == 0) return nullptr;
    return std::realloc(block, size);
}

void heap_free(void *block) { std::free(block); }
