// Apart from the allocation seam itself, so a test build can swap the seam
// and keep this.
#include "base/heap.hpp"

bool heap_reserve_bytes(void **block, uint64_t *capacity, uint64_t required) {
    if (*capacity >= required) return true;
    uint64_t grown = *capacity > 0 ? *capacity : 256;
    while (grown < required) {
        if (grown > UINT64_MAX / 2) return false;
        grown *= 2;
    }
    if (grown > SIZE_MAX) return false;
    void *p = heap_realloc(*block, static_cast<size_t>(grown));
    if (!p) return false;
    *block = p;
    *capacity = grown;
    return true;
}
